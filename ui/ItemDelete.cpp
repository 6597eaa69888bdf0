// The list's context menu and the delete command. A right click copies the row's link
// like a left click and offers "&Delete" and "&? Help"; the delete command (the menu, or
// the frame's Ctrl+X and Shift+Delete) removes the row last hit by a click, once.
#include <windows.h>
#include <commctrl.h>

#include "ui/VantrelView.h"
#include "win/WinApp.h"

void CVantrelView::OnRclickList(NMHDR* pNMHDR, LRESULT* pResult) {
    OnClickList(pNMHDR, pResult);
    *pResult = 0;
    if (m_nSelectedItem == -1) return;
    CMenu* popup = m_menuContext.GetSubMenu(0);
    if (popup == nullptr) return;
    POINT pt;
    ::GetCursorPos(&pt);
    // A chosen command reaches the frame, which routes "&Delete" back to this view.
    popup->TrackPopupMenu(TPM_RIGHTBUTTON, pt.x, pt.y, AfxGetMainWnd());
}

void CVantrelView::OnEditCut() {
    if (m_nSelectedItem < 0) return;
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr || m_nSelectedItem >= conn->GetItemCount()) return;

    m_connections.RemoveItem(conn, m_nSelectedItem);  // it leaves the library
    ListView_DeleteItem(ItemList(), m_nSelectedItem);
    // Rows waiting for a redraw moved up with their items.
    std::set<int> moved;
    for (int row : m_changedRows) {
        if (row != m_nSelectedItem) moved.insert(row > m_nSelectedItem ? row - 1 : row);
    }
    m_changedRows.swap(moved);
    RequestConfigurationSave();
    m_nSelectedItem = -1;
    if (conn->GetItemCount() == 0) UpdateConnectButton();
}
