// The links DDE clients hold, counted by name. DDEML keeps a link by topic and item name,
// whatever happens to the rows: the name's count and string handle live here, and the
// handle is lent to the item that answers for the name (the first of that name in the
// first connection of that topic) until the last link ends or the item is deleted.

#include "opc/ConnectionList.h"
#include "opc/DdeName.h"

BOOL CConnectionList::StartLink(HSZ hszTopic, HSZ hszItem, std::string* key) {
    CServerConnection* conn = nullptr;
    CTagItem* item = FindItem(hszTopic, hszItem, &conn);
    if (item == nullptr) return FALSE;
    *key = FoldDdeName(conn->m_strAlias) + '\0' + FoldDdeName(item->m_strTagName);
    LinkedName& name = m_links[*key];
    if (name.hsz == nullptr) name.hsz = ::DdeCreateStringHandleA(DdeInstance(), item->m_strTagName, 0);
    if (name.hsz == nullptr) {  // no instance, or the atom table is full: refused
        m_links.erase(*key);
        return FALSE;
    }
    ++name.links;
    name.conn = conn;
    name.item = item;
    item->m_hszItem = name.hsz;
    item->m_bAdvisePending = 1;
    return TRUE;
}

void CConnectionList::EndLink(const std::string& key) {
    auto it = m_links.find(key);
    if (it == m_links.end() || --it->second.links > 0) return;
    if (CTagItem* item = it->second.item) {
        item->m_hszItem = nullptr;
        item->m_bAdvisePending = 0;
    }
    ::DdeFreeStringHandle(DdeInstance(), it->second.hsz);
    m_links.erase(it);
}

void CConnectionList::RemoveItem(CServerConnection* conn, int row) {
    const CTagItem* item = conn->GetItem(row);
    if (item != nullptr && item->IsLinked()) ForgetLinkedItems(conn, row);
    conn->RemoveItem(row);
}

void CConnectionList::ForgetLinkedItems(const CServerConnection* conn, int row) {
    const CTagItem* gone = row != -1 ? conn->GetItem(row) : nullptr;
    for (auto& entry : m_links) {
        LinkedName& name = entry.second;
        if (name.conn != conn || (row != -1 && name.item != gone)) continue;
        // The links stay with DDEML; a row of the name takes them up at their next start.
        if (name.item != nullptr) name.item->m_hszItem = nullptr;
        name.item = nullptr;
        if (row == -1) name.conn = nullptr;
    }
}

void CConnectionList::FreeLinkedNames() {
    for (auto& entry : m_links) {
        if (entry.second.item != nullptr) entry.second.item->m_hszItem = nullptr;
        ::DdeFreeStringHandle(DdeInstance(), entry.second.hsz);
    }
    m_links.clear();
}
