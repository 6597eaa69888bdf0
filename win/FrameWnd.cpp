#include "win/FrameWnd.h"

#include "win/ModalLoop.h"
#include "win/View.h"
#include "win/WinApp.h"

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_SETFOCUS()
    ON_WM_CLOSE()
    ON_WM_ENDSESSION()
END_MESSAGE_MAP()

CFrameWnd::~CFrameWnd() = default;

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA&) { return TRUE; }

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwStyle, CWnd* pParent, CCreateContext* pContext) {
    HINSTANCE hInst = AfxGetInstanceHandle();
    char title[512] = {};
    int n = ::LoadStringA(hInst, nIDResource, title, sizeof title);
    m_strTitle = CString(title, n > 0 ? n : 0);
    int nl = m_strTitle.Find('\n');
    if (nl >= 0) m_strTitle = m_strTitle.Left(nl);

    HICON hIcon = ::LoadIconA(hInst, MAKEINTRESOURCEA(nIDResource));
    m_hMenuDefault = ::LoadMenuA(hInst, MAKEINTRESOURCEA(nIDResource));
    m_hAccelTable = ::LoadAcceleratorsA(hInst, MAKEINTRESOURCEA(nIDResource));

    CREATESTRUCTA cs = {};
    cs.style = dwStyle & ~FWS_ADDTOTITLE;
    cs.x = cs.y = cs.cx = cs.cy = CW_USEDEFAULT;
    cs.hwndParent = pParent != nullptr ? pParent->m_hWnd : nullptr;
    cs.hMenu = m_hMenuDefault;
    cs.lpszName = m_strTitle;
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW),
                                       reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), hIcon);
    if (!PreCreateWindow(cs)) return FALSE;
    HWND hWnd = AfxCreateWindow(this, cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                                cs.hwndParent, cs.hMenu, pContext);
    return hWnd != nullptr;
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA lpcs) {
    CCreateContext* context = static_cast<CCreateContext*>(lpcs->lpCreateParams);
    if (Default() == -1) return -1;
    return OnCreateClient(lpcs, context) ? 0 : -1;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCTA, CCreateContext* pContext) {
    if (pContext == nullptr || pContext->m_pNewViewClass == nullptr) return TRUE;
    CView* view = dynamic_cast<CView*>(pContext->m_pNewViewClass->CreateObject());
    if (view == nullptr) return FALSE;
    if (pContext->m_pCurrentDoc != nullptr) pContext->m_pCurrentDoc->AddView(view);
    if (!view->Create(this, AFX_IDW_PANE_FIRST, pContext)) {
        delete view;  // its window never came to be
        return FALSE;
    }
    return TRUE;
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
    CView* view = nullptr;
    if (pDoc != nullptr && !pDoc->GetViews().empty()) view = pDoc->GetViews().front();
    if (view != nullptr) {
        view->OnInitialUpdate();
        SetActiveView(view);
    }
    OnUpdateFrameTitle();
    if (bMakeVisible) {
        ShowWindow(SW_SHOW);
        UpdateWindow();
    }
}

void CFrameWnd::RecalcLayout(BOOL) {
    HWND hView = GetDlgItem(AFX_IDW_PANE_FIRST);
    if (hView == nullptr) return;
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    ::MoveWindow(hView, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

void CFrameWnd::OnUpdateFrameTitle() {
    // "Quorvane" alone while the document has no title of its own.
    CString title = m_strTitle;
    if (m_pViewActive != nullptr && m_pViewActive->GetDocument() != nullptr &&
        !m_pViewActive->GetDocument()->GetTitle().IsEmpty())
        title += " - " + m_pViewActive->GetDocument()->GetTitle();
    if (GetWindowText() != title) SetWindowText(title);
}

void CFrameWnd::OnSize(UINT, int, int) {
    Default();
    RecalcLayout();
}

void CFrameWnd::OnSetFocus() {
    if (m_pViewActive != nullptr && m_pViewActive->m_hWnd != nullptr)
        m_pViewActive->SetFocus();
    else
        Default();
}

void CFrameWnd::OnClose() {
    // Destroying the frame under a running modal loop or handler would leave its caller
    // on freed windows: end the modals and close once they have returned.
    if (AfxIsCloseUnsafe()) {
        AfxDeferClose(m_hWnd);
        return;
    }
    DestroyWindow();
}

void CFrameWnd::OnEndSession(BOOL bEnding) {
    Default();
    // A derived frame has saved what must survive before calling here; Windows may end
    // the process as soon as this returns, else the program ends the ordinary way.
    if (bEnding) PostMessage(WM_CLOSE);
}

void CFrameWnd::PostNcDestroy() {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
    delete this;
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hAccelTable != nullptr)
        return ::TranslateAcceleratorA(m_hWnd, m_hAccelTable, pMsg) != 0;
    return FALSE;
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode) {
    if (m_pViewActive != nullptr && m_pViewActive->OnCmdMsg(nID, nCode)) return TRUE;
    if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->OnCmdMsg(nID, nCode);
}

void CFrameWnd::OnHelp() {
    if (CWinApp* app = AfxGetApp()) app->WinHelp(0, HELP_CONTENTS);
}

// Shift+F1 has no help mode of its own here: it opens the same guide.
void CFrameWnd::OnContextHelp() { OnHelp(); }

void CFrameWnd::OnHelpFinder() {
    if (CWinApp* app = AfxGetApp()) app->WinHelp(0, HELP_FINDER);
}
