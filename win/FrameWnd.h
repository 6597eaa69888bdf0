#pragma once
// The main frame window: a top-level window with the menu bar, accelerator table, icon
// and title of its resource id, holding one view that fills its client area. Commands
// from the menu and the accelerators go to the active view first, then to the frame, then
// to the application. The help commands open the application's help.
//
// Ownership: the frame deletes itself when its window is destroyed; when it is the main
// window, its end also ends the message loop.
// Threading: the user-interface thread only.
#include "win/Document.h"
#include "win/Wnd.h"

// Style bit of the framework: the frame's title shows the document's title too.
#define FWS_ADDTOTITLE 0x00008000L

class CView;

class CFrameWnd : public CWnd {
  public:
    CFrameWnd() = default;
    ~CFrameWnd() override;

    // Creates the frame window from resource nIDResource (menu, accelerators, icon, the
    // title in the first line of the string) and its view from the context.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwStyle, CWnd* pParent, CCreateContext* pContext);
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    // Sends the initial update to the view, makes it active and shows the frame.
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    // Places the view over the whole client area.
    virtual void RecalcLayout(BOOL bNotify = TRUE);

    CView* GetActiveView() const { return m_pViewActive; }
    void SetActiveView(CView* pView) { m_pViewActive = pView; }
    void OnUpdateFrameTitle();

    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnCmdMsg(UINT nID, int nCode) override;

    HACCEL m_hAccelTable = nullptr;
    CString m_strTitle;

  protected:
    int OnCreate(LPCREATESTRUCTA lpcs);
    void OnSize(UINT nType, int cx, int cy);
    void OnSetFocus();
    // A close request; deferred while a modal loop of ours runs (win/ModalLoop.h).
    void OnClose();
    // The session ends: the frame closes after its derived class has saved.
    void OnEndSession(BOOL bEnding);
    void PostNcDestroy() override;
    BOOL OnCreateClient(LPCREATESTRUCTA lpcs, CCreateContext* pContext);

    // Help commands.
    void OnHelp();
    void OnContextHelp();
    void OnHelpFinder();

    CView* m_pViewActive = nullptr;
    HMENU m_hMenuDefault = nullptr;  // destroyed with the window

    DECLARE_MESSAGE_MAP()
};
