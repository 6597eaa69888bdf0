#pragma once
// A menu handle with the framework's operations. A menu loaded or attached is destroyed
// with the object; sub-menus handed out by GetSubMenu belong to their parent menu.
#include <memory>
#include <vector>

#include <windows.h>

class CWnd;

class CMenu {
  public:
    CMenu() = default;
    ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL LoadMenu(UINT nIDResource);
    BOOL Attach(HMENU hMenu);
    HMENU Detach();
    BOOL DestroyMenu();
    // The pop-up at position nPos, owned by this menu; nullptr if there is none.
    CMenu* GetSubMenu(int nPos);
    // Shows the menu at screen point (x, y); a chosen command goes to pOwner as WM_COMMAND.
    BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pOwner);

    HMENU m_hMenu = nullptr;

  private:
    bool m_bOwned = true;
    std::vector<std::unique_ptr<CMenu>> m_subMenus;
};
