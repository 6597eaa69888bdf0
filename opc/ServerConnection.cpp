#include "opc/ServerConnection.h"

#include "app/VantrelApp.h"
#include "opc/OpcLibrary.h"

CString FormatConnectedStatus(const CTime& connected) {
    return connected.Format("Connected: %H:%M:%S %d-%B-%Y");
}

CServerConnection::~CServerConnection() {
    // Items first, then the group, then the server: the library's own order of teardown.
    // Items are removed whatever the handles hold; the library refuses -1 harmlessly.
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CTagItem* item = GetItem(i);
        if (item == nullptr) continue;
        OpcRemoveItem(m_hServer, m_hGroup, item->m_hItem);
        delete item;
    }
    m_items.RemoveAll();
    if (m_hGroup != -1) OpcRemoveGroup(m_hServer, m_hGroup);
    if (m_hServer != -1) OpcDisconnectServer(m_hServer);
}

CTagItem* CServerConnection::FindItem(HSZ hszItem) const {
    CVantrelApp* app = GetVantrelApp();
    if (hszItem == nullptr || app == nullptr) return nullptr;
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CTagItem* item = GetItem(i);
        if (item != nullptr && item->m_hszItem != nullptr && ::DdeCmpStringHandles(item->m_hszItem, hszItem) == 0)
            return item;
    }
    return nullptr;
}

int CServerConnection::StoreDataChange(int hItem, const VARIANT* value, FILETIME timeStamp, DWORD quality) {
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CTagItem* item = GetItem(i);
        if (item == nullptr || item->m_hItem != hItem) continue;
        // Value, quality and time first: DDEML asks for the data from inside DdePostAdvise.
        if (value != nullptr) ::VariantCopy(&item->m_vValue, const_cast<VARIANT*>(value));
        else ::VariantClear(&item->m_vValue);
        item->m_dwQuality = quality;
        item->m_ftTimeStamp = timeStamp;
        if (CVantrelApp* app = GetVantrelApp()) app->PostAdvise(m_hszTopic, item->m_hszItem);
        m_tmLastUpdate = CTime::GetCurrentTime();
        return i;
    }
    return -1;
}

void CServerConnection::HandleServerShutdown() {
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CTagItem* item = GetItem(i);
        if (item == nullptr) continue;
        OpcRemoveItem(m_hServer, m_hGroup, item->m_hItem);
        item->m_dwQuality = 0;
    }
    if (m_hGroup != -1) {
        OpcRemoveGroup(m_hServer, m_hGroup);
        m_hGroup = -1;
    }
    if (m_hServer != -1) {
        OpcDisconnectServer(m_hServer);
        m_hServer = -1;
    }
    m_strStatus = "<<<<<<< Server Requested Disconnect >>>>>>>>>";
}
