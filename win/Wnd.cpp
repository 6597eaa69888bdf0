#include "win/Wnd.h"

#include <cstdio>
#include <map>
#include <string>

#include "win/FrameWnd.h"
#include "win/ModalLoop.h"
#include "win/WinApp.h"

namespace {

const char kObjectProp[] = "Quorvane.CWnd";
// The object whose window is being created: AfxWndProc attaches it at the first message.
CWnd* g_pWndInit = nullptr;

}  // namespace

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    if (m_hWnd != nullptr) {
        // The object goes before its window: unhook it so that no message reaches freed memory.
        HWND hWnd = m_hWnd;
        if (m_pfnSuper != nullptr) ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
        Detach();
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    return static_cast<CWnd*>(::GetPropA(hWnd, kObjectProp));
}

BOOL CWnd::Attach(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr) return FALSE;
    m_hWnd = hWnd;
    return ::SetPropA(hWnd, kObjectProp, this);
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) ::RemovePropA(hWnd, kObjectProp);
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd)) return FALSE;
    m_pfnSuper =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(m_msgCur.message, m_msgCur.wParam, m_msgCur.lParam); }

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    // Menus send code 0 and accelerators code 1: both are plain commands.
    if (lParam == 0) nCode = CN_COMMAND;
    return OnCmdMsg(nID, nCode);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr == nullptr) return FALSE;
    const AFX_MSGMAP_ENTRY* e =
        AfxFindMessageEntry(GetMessageMap(), WM_NOTIFY, hdr->code, static_cast<UINT>(hdr->idFrom));
    if (e == nullptr || e->nSig != AfxSig_vNotify) return FALSE;
    *pResult = 0;
    (this->*reinterpret_cast<AFX_PMSG_NOTIFY>(e->pfn))(hdr, pResult);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) return 0;
        return DefWindowProc(message, wParam, lParam);
    }
    if (message == WM_NOTIFY) {
        LRESULT result = 0;
        if (OnNotify(wParam, lParam, &result)) return result;
        return DefWindowProc(message, wParam, lParam);
    }
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(GetMessageMap(), message, 0, 0);
    if (e == nullptr) return DefWindowProc(message, wParam, lParam);
    switch (e->nSig) {
        case AfxSig_vv:
            (this->*e->pfn)();
            return 0;
        case AfxSig_lwl:
            return (this->*reinterpret_cast<AFX_PMSG_LWL>(e->pfn))(wParam, lParam);
        case AfxSig_vTimer:
            (this->*reinterpret_cast<AFX_PMSG_TIMER>(e->pfn))(static_cast<UINT_PTR>(wParam));
            return 0;
        case AfxSig_iCreate:
            return (this->*reinterpret_cast<AFX_PMSG_CREATE>(e->pfn))(reinterpret_cast<LPCREATESTRUCTA>(lParam));
        case AfxSig_vBool:
            (this->*reinterpret_cast<AFX_PMSG_BOOL>(e->pfn))(static_cast<BOOL>(wParam));
            return 0;
        case AfxSig_vSize:
            (this->*reinterpret_cast<AFX_PMSG_SIZE>(e->pfn))(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        default:
            return DefWindowProc(message, wParam, lParam);
    }
}

void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnEndSession(BOOL) { Default(); }

CString CWnd::GetWindowText() const {
    CString text;
    int n = ::GetWindowTextLengthA(m_hWnd);
    ::GetWindowTextA(m_hWnd, text.GetBuffer(n + 1), n + 1);
    text.ReleaseBuffer();
    return text;
}

CString CWnd::GetDlgItemText(int nID) const {
    CString text;
    HWND hItem = GetDlgItem(nID);
    if (hItem == nullptr) return text;
    int n = ::GetWindowTextLengthA(hItem);
    ::GetWindowTextA(hItem, text.GetBuffer(n + 1), n + 1);
    text.ReleaseBuffer();
    return text;
}

CFrameWnd* CWnd::GetParentFrame() const {
    for (HWND h = ::GetParent(m_hWnd); h != nullptr; h = ::GetParent(h)) {
        if (CFrameWnd* frame = dynamic_cast<CFrameWnd*>(FromHandlePermanent(h))) return frame;
    }
    return nullptr;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == nullptr && g_pWndInit != nullptr) {
        pWnd = g_pWndInit;
        g_pWndInit = nullptr;
        pWnd->Attach(hWnd);
    }
    if (pWnd == nullptr) return ::DefWindowProcA(hWnd, message, wParam, lParam);

    AfxEnterDispatch();
    ++pWnd->m_nDispatchDepth;
    MSG saved = pWnd->m_msgCur;
    pWnd->m_msgCur = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    pWnd->m_msgCur = saved;
    --pWnd->m_nDispatchDepth;

    if (message == WM_NCDESTROY) {
        // The window is gone: unhook the object.
        if (pWnd->m_pfnSuper != nullptr) {
            ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
            pWnd->m_pfnSuper = nullptr;
        }
        pWnd->Detach();
        pWnd->m_bNcDestroyed = true;
    }
    // The object may delete itself in PostNcDestroy: only once no handler of it is still
    // on the stack (a window destroyed from inside one of its own handlers).
    if (pWnd->m_bNcDestroyed && pWnd->m_nDispatchDepth == 0) {
        pWnd->m_bNcDestroyed = false;
        pWnd->PostNcDestroy();
    }
    AfxLeaveDispatch();
    return result;
}

HWND AfxCreateWindow(CWnd* pWnd, DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int cx, int cy, HWND hParent, HMENU hMenu, void* createParam) {
    CWnd* previous = g_pWndInit;
    g_pWndInit = pWnd;
    HWND hWnd = ::CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, hParent, hMenu,
                                  AfxGetInstanceHandle(), createParam);
    g_pWndInit = previous;
    if (hWnd == nullptr && pWnd->m_hWnd != nullptr) pWnd->Detach();  // creation refused after WM_NCCREATE
    return hWnd;
}

const char* AfxRegisterWndClass(UINT classStyle, HCURSOR hCursor, HBRUSH hBackground, HICON hIcon) {
    static std::map<std::string, bool> s_registered;
    static std::string s_last;
    char name[96];
    std::snprintf(name, sizeof name, "QvWnd:%x:%p:%p:%p", classStyle, static_cast<void*>(hCursor),
                  static_cast<void*>(hBackground), static_cast<void*>(hIcon));
    auto it = s_registered.find(name);
    if (it == s_registered.end()) {
        WNDCLASSA wc = {};
        wc.style = classStyle;
        wc.lpfnWndProc = &AfxWndProc;
        wc.hInstance = AfxGetInstanceHandle();
        wc.hCursor = hCursor;
        wc.hbrBackground = hBackground;
        wc.hIcon = hIcon;
        wc.lpszClassName = name;
        ::RegisterClassA(&wc);
        it = s_registered.emplace(name, true).first;
    }
    return it->first.c_str();
}
