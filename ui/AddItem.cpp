// Adding items to the selected connection: the browser dialog behind button 1005, and the
// adds it makes, which register each item with the OPC library and show it as a new last
// row of the list. A batch (a whole branch) makes its items in one pass
// and has the list drawn once, when all rows are in.
#include <windows.h>
#include <commctrl.h>

#include "opc/OpcLibrary.h"
#include "ui/BrowseItemsDlg.h"
#include "ui/VantrelView.h"

void CVantrelView::OnAddItemButton() {
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr) return;
    CBrowseItemsDlg dlg(this);
    dlg.m_pParentView = this;
    dlg.m_hServer = conn->m_hServer;
    dlg.DoModal();
    UpdateConnectButton();
}

ItemIdFit CVantrelView::AddItem(const char* extra, const char* itemId) {
    ItemIdFit fit = CheckItemId(itemId, itemId != nullptr ? static_cast<size_t>(::lstrlenA(itemId)) : 0);
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr || fit != ItemIdFit::kFits) return fit;
    auto* item = new CTagItem(itemId, extra);
    item->m_hItem = OpcAddItem(conn->m_hServer, conn->m_hGroup, itemId);
    int row = conn->AddItem(item);
    RequestConfigurationSave();
    InsertRows(conn, row);
    // The new item's first value, now rather than at the server's next change.
    OpcRefreshGroup(conn->m_hServer, conn->m_hGroup, KOBRIX_REFRESH_LAST_ADDED);
    return fit;
}

int CVantrelView::AddItems(const std::vector<CString>& itemIds) {
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr) return 0;
    std::vector<CTagItem*> items;
    items.reserve(itemIds.size());
    for (const CString& id : itemIds) {
        if (CheckItemId(id, static_cast<size_t>(id.GetLength())) == ItemIdFit::kFits) items.push_back(new CTagItem(id));
    }
    const int refused = static_cast<int>(itemIds.size() - items.size());
    if (items.empty()) return refused;

    int first = conn->GetItemCount();
    for (CTagItem* item : items) {
        item->m_hItem = OpcAddItem(conn->m_hServer, conn->m_hGroup, item->m_strTagName);
        conn->AddItem(item);
        // Each item's first value at once, as for a single add; the row shows it below.
        OpcRefreshGroup(conn->m_hServer, conn->m_hGroup, KOBRIX_REFRESH_LAST_ADDED);
    }
    RequestConfigurationSave();
    InsertRows(conn, first);
    return refused;
}
