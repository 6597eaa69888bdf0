#include "win/ModalLoop.h"

#include <cstring>

#include "win/Dialog.h"

namespace {

int g_modalDepth = 0;
int g_dispatchDepth = 0;
HWND g_hCloseTarget = nullptr;  // set while a close request waits
bool g_bClosePosted = false;

void PostCloseWhenIdle() {
    if (g_hCloseTarget == nullptr || g_bClosePosted || g_modalDepth > 0 || g_dispatchDepth > 0) return;
    g_bClosePosted = ::PostMessageA(g_hCloseTarget, WM_CLOSE, 0, 0) != FALSE;
}

// The answer a system dialog gives when cancelled: its Cancel button, else No, else OK
// (a message box with only OK has no other way out).
int CancelButtonOf(HWND hDlg) {
    for (int id : {IDCANCEL, IDNO, IDABORT, IDOK})
        if (::GetDlgItem(hDlg, id) != nullptr) return id;
    return IDCANCEL;
}

BOOL CALLBACK EndOneModal(HWND hWnd, LPARAM lParam) {
    if (hWnd == reinterpret_cast<HWND>(lParam)) return TRUE;
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0) return TRUE;
    if (dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hWnd)) != nullptr) {
        ::EndDialog(hWnd, IDCANCEL);  // its loop ends as soon as it runs again
    } else {
        int id = CancelButtonOf(hWnd);
        ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hWnd, id)));
    }
    return TRUE;
}

}  // namespace

CModalLoopScope::CModalLoopScope() { ++g_modalDepth; }

CModalLoopScope::~CModalLoopScope() {
    --g_modalDepth;
    PostCloseWhenIdle();
}

BOOL AfxIsCloseUnsafe() { return g_modalDepth > 0 || g_dispatchDepth > 1; }

BOOL AfxIsClosePending() { return g_hCloseTarget != nullptr; }

void AfxDeferClose(HWND hMain) {
    g_hCloseTarget = hMain;
    g_bClosePosted = false;
    ::EndMenu();
    ::EnumThreadWindows(::GetCurrentThreadId(), &EndOneModal, reinterpret_cast<LPARAM>(hMain));
}

void AfxEnterDispatch() { ++g_dispatchDepth; }

void AfxLeaveDispatch() {
    --g_dispatchDepth;
    PostCloseWhenIdle();
}
