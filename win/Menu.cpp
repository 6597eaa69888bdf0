#include "win/Menu.h"

#include "win/ModalLoop.h"
#include "win/WinApp.h"
#include "win/Wnd.h"

CMenu::~CMenu() { DestroyMenu(); }

BOOL CMenu::LoadMenu(UINT nIDResource) {
    DestroyMenu();
    m_hMenu = ::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDResource));
    m_bOwned = true;
    return m_hMenu != nullptr;
}

BOOL CMenu::Attach(HMENU hMenu) {
    if (m_hMenu != nullptr || hMenu == nullptr) return FALSE;
    m_hMenu = hMenu;
    m_bOwned = true;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU h = m_hMenu;
    m_hMenu = nullptr;
    m_subMenus.clear();
    return h;
}

BOOL CMenu::DestroyMenu() {
    m_subMenus.clear();
    if (m_hMenu == nullptr) return FALSE;
    BOOL ok = m_bOwned ? ::DestroyMenu(m_hMenu) : TRUE;
    m_hMenu = nullptr;
    return ok;
}

CMenu* CMenu::GetSubMenu(int nPos) {
    HMENU hSub = m_hMenu != nullptr ? ::GetSubMenu(m_hMenu, nPos) : nullptr;
    if (hSub == nullptr) return nullptr;
    for (auto& sub : m_subMenus)
        if (sub->m_hMenu == hSub) return sub.get();
    m_subMenus.emplace_back(new CMenu);
    m_subMenus.back()->m_hMenu = hSub;
    m_subMenus.back()->m_bOwned = false;  // destroyed with its parent
    return m_subMenus.back().get();
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pOwner) {
    if (m_hMenu == nullptr) return FALSE;
    if (AfxIsClosePending()) return FALSE;
    HWND owner = pOwner != nullptr ? pOwner->m_hWnd : nullptr;
    CModalLoopScope modal;
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, owner, nullptr);
}
