// Adding items to the selected connection: the browser dialog behind button 1005, and the
// single add it uses, which registers the item with the OPC library and the DDE side and
// shows it as a new last row of the list.
#include <windows.h>
#include <commctrl.h>

#include "app/VantrelApp.h"
#include "opc/BrowseItemsDlg.h"
#include "opc/OpcLibrary.h"
#include "ui/VantrelView.h"

namespace {

const int kListLabelSize = 400;  // row labels: 399 characters

}  // namespace

void CVantrelView::OnAddItemButton() {
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr) return;
    CBrowseItemsDlg dlg(this);
    dlg.m_pParentView = this;
    dlg.m_hServer = conn->m_hServer;
    dlg.DoModal();
    UpdateConnectButton();
}

void CVantrelView::AddItem(const char* extra, const char* itemId) {
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr) return;

    auto* item = new CTagItem;
    item->m_strTagName = itemId;
    item->m_strExtra = extra;
    item->m_hItem = OpcAddItem(conn->m_hServer, conn->m_hGroup, itemId);
    CVantrelApp* app = GetVantrelApp();
    item->m_hszItem = app != nullptr ? ::DdeCreateStringHandleA(app->m_idInst, itemId, 0) : nullptr;
    conn->m_items.Add(item);
    RequestConfigurationSave();

    int row = conn->GetItemCount() - 1;
    char label[kListLabelSize];
    ::lstrcpynA(label, itemId, kListLabelSize);
    LVITEMA lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_STATE;
    lvi.iItem = row;
    lvi.pszText = label;
    lvi.stateMask = LVIS_STATEIMAGEMASK;
    ::SendMessageA(ItemList(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi));
    UpdateItemRow(row, item);

    // The new item's first value, now rather than at the server's next change.
    OpcRefreshGroup(conn->m_hServer, conn->m_hGroup, KOBRIX_REFRESH_LAST_ADDED);
}
