#include "app/MainFrame.h"

#include "app/VantrelApp.h"
#include "persist/DiagLog.h"
#include "resource.h"
#include "ui/VantrelView.h"

IMPLEMENT_DYNCREATE(CMainFrame)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_ENDSESSION()
    ON_COMMAND(ID_HELP_FINDER, OnHelpFinder)
    ON_COMMAND(ID_HELP, OnHelp)
    ON_COMMAND(ID_CONTEXT_HELP, OnContextHelp)
    ON_COMMAND(ID_DEFAULT_HELP, OnHelpFinder)
    ON_COMMAND(ID_OPEN_LOG, OnOpenLog)
END_MESSAGE_MAP()

CMainFrame::CMainFrame() {
    if (CVantrelApp* app = GetVantrelApp()) app->m_pMainFrame = this;
}

CMainFrame::~CMainFrame() {
    CVantrelApp* app = GetVantrelApp();
    if (app != nullptr && app->m_pMainFrame == this) app->m_pMainFrame = nullptr;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) { return CFrameWnd::PreCreateWindow(cs); }

int CMainFrame::OnCreate(LPCREATESTRUCTA lpcs) {
    if (CFrameWnd::OnCreate(lpcs) == -1) return -1;
    return 0;
}

void CMainFrame::OnOpenLog() { AfxOpenDocument(DiagLog::Path().c_str()); }

void CMainFrame::OnEndSession(BOOL bEnding) {
    // Log-off and shutdown end the process without destroying the windows: save now.
    CVantrelApp* app = GetVantrelApp();
    if (bEnding && app != nullptr && app->m_pMainView != nullptr) app->m_pMainView->SaveConfiguration();
    CFrameWnd::OnEndSession(bEnding);
}
