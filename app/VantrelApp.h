#pragma once
// The application object: process start-up and shutdown, the DDE service "Quorvane" and
// the gate through which the DDE side reaches the connections of the main view.
//
// Ownership: owns the DDE instance, the service name handle and the suspension flag;
// holds non-owning pointers to the main view and the main frame (each sets and clears its
// own). Threading: the user-interface thread only. DDEML calls DdeCallback on this
// thread, and the OPC library delivers its callbacks here too, so nothing is locked.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include "variant/variant.h"
#include "win/WinApp.h"

class CVantrelView;
class CMainFrame;
class CServerConnection;

// Posted by the OPC shutdown callback to the main view: wParam 0, lParam = server handle
// (never 0). The same number is DM_SETDEFID for a dialog-based window, which carries a
// control id in wParam and 0 in lParam; the view tells the two apart by that.
#define WM_SERVER_SHUTDOWN (WM_USER + 1)
// Posted to the main view when advises had to wait for a DDE callback to return.
#define WM_FLUSH_ADVISES (WM_APP + 1)

// The main view's window, for the OPC shutdown callback; set by the view's initial set-up.
extern HWND g_hMainViewWnd;

class CVantrelApp : public CWinApp {
  public:
    CVantrelApp();
    ~CVantrelApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // Start-up steps 8 to 10: the DDEML instance and the registered service name.
    void StartDdeService();
    // Releases what StartDdeService made (at exit, and in tests).
    void StopDdeService();

    // The DDE side's only road to the connections; null/FALSE/0 while no main view exists.
    CServerConnection* FindTopic(HSZ hszTopic);
    BOOL GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue);
    int WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue);
    // Posts an advise for (topic, item) unless updates are suspended; always TRUE. Inside
    // a DDE transaction callback the advise is not posted at once (DDEML would lose it):
    // the item is marked pending and the view flushes it as soon as the callback returns.
    BOOL PostAdvise(HSZ hszTopic, HSZ hszItem);

    // Brackets of every DDE transaction callback (see CDdeCallbackScope).
    void EnterDdeCallback() { ++m_nDdeCallbackDepth; }
    void LeaveDdeCallback();
    BOOL IsInDdeCallback() const { return m_nDdeCallbackDepth > 0; }

    CVantrelView* m_pMainView = nullptr;
    CMainFrame* m_pMainFrame = nullptr;
    HSZ m_hszService = nullptr;
    DWORD m_idInst = 0;
    BOOL m_bDdeSuspended = FALSE;

  protected:
    void OnAppAbout();

    int m_nDdeCallbackDepth = 0;
    BOOL m_bAdviseFlushDeferred = FALSE;
    BOOL m_bComInitialized = FALSE;

    DECLARE_MESSAGE_MAP()
};

// The application object as CVantrelApp, or nullptr when there is none.
CVantrelApp* GetVantrelApp();

// Marks the duration of one DDE transaction callback.
class CDdeCallbackScope {
  public:
    explicit CDdeCallbackScope(CVantrelApp* app) : m_pApp(app) {
        if (m_pApp != nullptr) m_pApp->EnterDdeCallback();
    }
    ~CDdeCallbackScope() {
        if (m_pApp != nullptr) m_pApp->LeaveDdeCallback();
    }
    CDdeCallbackScope(const CDdeCallbackScope&) = delete;
    CDdeCallbackScope& operator=(const CDdeCallbackScope&) = delete;

  private:
    CVantrelApp* m_pApp;
};
