#pragma once
// A window object bound to one window handle. Messages reach the object through
// AfxWndProc: either the window was created with one of our window classes, or an
// existing window (a dialog) was subclassed when it was attached. WindowProc offers every
// message to the class's message table; messages without a handler, and handlers that call
// Default(), go on to the window's original procedure (DefWindowProc, or the dialog
// manager's procedure for dialogs).
//
// Ownership: the object does not own its window unless it created it; windows that delete
// themselves when destroyed (frames, views) do so in PostNcDestroy.
// Threading: the user-interface thread only.
#include "win/CString.h"
#include "win/CmdTarget.h"

class CFrameWnd;

class CWnd : public CCmdTarget {
  public:
    CWnd() = default;
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    operator HWND() const { return m_hWnd; }

    // The object attached to a window by this framework, or nullptr.
    static CWnd* FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Attaches and routes the window's messages through this object.
    BOOL SubclassWindow(HWND hWnd);

    virtual BOOL DestroyWindow();
    // Lets the window translate a message before it is dispatched (accelerators, dialog keys).
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Called after the window's last message; the object may delete itself here.
    virtual void PostNcDestroy() {}
    // Dialog-based windows (dialogs, forms): the dialog manager has built the controls.
    // TRUE lets it put the focus on the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    // The original handling of the message being processed.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Thin wrappers of the Win32 window functions, in the framework's names.
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    void SetDlgItemText(int nID, const char* text) { ::SetDlgItemTextA(m_hWnd, nID, text); }
    CString GetDlgItemText(int nID) const;
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    CString GetWindowText() const;
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL EnableDlgItem(int nID, BOOL bEnable) { return ::EnableWindow(GetDlgItem(nID), bEnable); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    BOOL IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    // The frame window that holds this window, or nullptr.
    CFrameWnd* GetParentFrame() const;

  protected:
    // Default handlers; a class that lists them in its table and overrides them calls the
    // base version to keep the default handling.
    void OnTimer(UINT_PTR nIDEvent);
    void OnDestroy();
    void OnEndSession(BOOL bEnding);

    WNDPROC m_pfnSuper = nullptr;  // the window's own procedure when subclassed
    MSG m_msgCur = {};             // the message being processed, for Default()
    int m_nDispatchDepth = 0;      // handlers of this object on the stack
    bool m_bNcDestroyed = false;   // window gone; PostNcDestroy waits for the outermost handler

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()
};

// The window procedure of every window class this framework registers.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Creates a window of one of our classes for pWnd; the object is attached before the
// window's first message is processed.
HWND AfxCreateWindow(CWnd* pWnd, DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int cx, int cy, HWND hParent, HMENU hMenu, void* createParam);

// Registers (once) a window class with AfxWndProc and answers its name.
const char* AfxRegisterWndClass(UINT classStyle, HCURSOR hCursor, HBRUSH hBackground, HICON hIcon);

// The window of the framework's "pane" inside a frame: the view.
#define AFX_IDW_PANE_FIRST 0xE900
