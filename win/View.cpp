#include "win/View.h"

#include "win/Dialog.h"
#include "win/FrameWnd.h"
#include "win/WinApp.h"

CView::~CView() {
    if (m_pDocument != nullptr) m_pDocument->RemoveView(this);
}

BOOL CView::OnCmdMsg(UINT nID, int nCode) {
    if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
    return m_pDocument != nullptr && m_pDocument->OnCmdMsg(nID, nCode);
}

void CView::PostNcDestroy() {
    // Children are destroyed before their frame: the frame must not keep a pointer to us.
    if (m_pParentFrame != nullptr && m_pParentFrame->GetActiveView() == this) m_pParentFrame->SetActiveView(nullptr);
    delete this;
}

BOOL CFormView::Create(CWnd* pParent, UINT nID, CCreateContext*) {
    CREATESTRUCTA cs = {};
    if (pParent == nullptr || !PreCreateWindow(cs)) return FALSE;
    AfxInitCommonControls();
    HWND hWnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), pParent->m_hWnd,
                                     &AfxDlgProc, reinterpret_cast<LPARAM>(static_cast<CWnd*>(this)));
    if (hWnd == nullptr) return FALSE;
    ::SetWindowLongPtrA(hWnd, GWLP_ID, static_cast<LONG_PTR>(nID));
    m_pParentFrame = dynamic_cast<CFrameWnd*>(pParent);
    RECT rc;
    ::GetWindowRect(hWnd, &rc);
    m_sizeForm.cx = rc.right - rc.left;
    m_sizeForm.cy = rc.bottom - rc.top;
    ::ShowWindow(hWnd, SW_SHOW);
    return TRUE;
}

void CFormView::OnInitialUpdate() { CView::OnInitialUpdate(); }

BOOL CFormView::PreTranslateMessage(MSG* pMsg) {
    // The frames see keys first: the dialog manager would otherwise eat their accelerators.
    for (CFrameWnd* frame = GetParentFrame(); frame != nullptr; frame = frame->GetParentFrame()) {
        if (frame->PreTranslateMessage(pMsg)) return TRUE;
    }
    bool input = (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) ||
                 (pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST);
    if (!input || ::GetWindow(m_hWnd, GW_CHILD) == nullptr) return FALSE;
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

void CFormView::ResizeParentToFit(BOOL bShrinkOnly) {
    CFrameWnd* frame = GetParentFrame();
    if (frame == nullptr) return;
    // Twice: a new width can change how many lines the menu bar takes.
    for (int pass = 0; pass < 2; ++pass) {
        RECT rcWnd, rcClient;
        ::GetWindowRect(frame->m_hWnd, &rcWnd);
        ::GetClientRect(frame->m_hWnd, &rcClient);
        int dx = m_sizeForm.cx - (rcClient.right - rcClient.left);
        int dy = m_sizeForm.cy - (rcClient.bottom - rcClient.top);
        if (bShrinkOnly) {
            if (dx > 0) dx = 0;
            if (dy > 0) dy = 0;
        }
        if (dx == 0 && dy == 0) break;
        ::SetWindowPos(frame->m_hWnd, nullptr, 0, 0, rcWnd.right - rcWnd.left + dx, rcWnd.bottom - rcWnd.top + dy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}
