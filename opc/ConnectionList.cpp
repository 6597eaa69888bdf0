#include "opc/ConnectionList.h"

#include "opc/OpcLibrary.h"

namespace {

CConnectionList* g_pCurrent = nullptr;

}  // namespace

CConnectionList::~CConnectionList() {
    Detach();
    RemoveAll();
}

CConnectionList* CConnectionList::Current() { return g_pCurrent; }

void CConnectionList::Attach(IConnectionListener* listener, HWND hNotify) {
    m_pListener = listener;
    m_hNotify = hNotify;
    g_pCurrent = this;
}

void CConnectionList::Detach() {
    // From now on the OPC callbacks find no list: their changes are dropped.
    if (g_pCurrent == this) g_pCurrent = nullptr;
    m_pListener = nullptr;
    m_hNotify = nullptr;
}

int CConnectionList::Add(CServerConnection* conn) {
    int index = m_connections.Add(conn);
    if (conn->m_hServer != -1) m_byServer.emplace(conn->m_hServer, conn);
    if (conn->m_hszTopic != nullptr) m_byTopic.emplace(conn->m_hszTopic, conn);
    return index;
}

void CConnectionList::RemoveAt(int index) {
    CServerConnection* conn = GetAt(index);
    if (conn == nullptr) return;
    m_connections.RemoveAt(index);
    if (conn->m_hServer != -1) m_byServer.erase(conn->m_hServer);
    IndexTopics();  // a later connection may hold the same topic
    delete conn;
}

void CConnectionList::RemoveAll() {
    for (int i = 0; i < m_connections.GetSize(); ++i) delete GetAt(i);
    m_connections.RemoveAll();
    m_byServer.clear();
    m_byTopic.clear();
}

void CConnectionList::IndexTopics() {
    m_byTopic.clear();
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        CServerConnection* conn = GetAt(i);
        if (conn != nullptr && conn->m_hszTopic != nullptr) m_byTopic.emplace(conn->m_hszTopic, conn);
    }
}

BOOL CConnectionList::Open(CServerConnection* conn, int hServer) {
    if (!conn->Open(hServer)) return FALSE;
    m_byServer[hServer] = conn;  // the library never hands out one handle twice at a time
    return TRUE;
}

void CConnectionList::Close(CServerConnection* conn, BOOL lost) {
    if (conn->m_hServer != -1) m_byServer.erase(conn->m_hServer);
    conn->Close(lost);
}

CServerConnection* CConnectionList::FindServer(int hServer) const {
    auto it = m_byServer.find(hServer);
    return it != m_byServer.end() ? it->second : nullptr;
}

CServerConnection* CConnectionList::FindTopic(HSZ hszTopic) const {
    auto it = hszTopic != nullptr ? m_byTopic.find(hszTopic) : m_byTopic.end();
    return it != m_byTopic.end() ? it->second : nullptr;
}

BOOL CConnectionList::GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue) {
    CServerConnection* conn = FindTopic(hszTopic);
    CTagItem* item = conn != nullptr ? conn->FindItem(hszItem) : nullptr;
    if (item == nullptr) return FALSE;
    if (pValue != nullptr) {
        ::VariantCopy(pValue, &item->m_vValue);
    } else {
        item->m_bAdvisePending = 1;
        item->m_bLinked = 1;
    }
    return TRUE;
}

int CConnectionList::WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue) {
    CServerConnection* conn = FindTopic(hszTopic);
    CTagItem* item = conn != nullptr ? conn->FindItem(hszItem) : nullptr;
    if (item == nullptr) return 0;
    return OpcWriteItem(conn->m_hServer, conn->m_hGroup, item->m_hItem, pValue, 0);
}

BOOL CConnectionList::StoreDataChange(int hServer, int hItem, const VARIANT* value, FILETIME timeStamp, DWORD quality) {
    CServerConnection* conn = FindServer(hServer);
    int row = conn != nullptr ? conn->FindRow(hItem) : -1;
    CTagItem* item = row != -1 ? conn->GetItem(row) : nullptr;
    if (item == nullptr) return FALSE;
    // Value, quality and time first: DDEML asks for the data from inside DdePostAdvise.
    if (value != nullptr)
        ::VariantCopy(&item->m_vValue, const_cast<VARIANT*>(value));
    else
        ::VariantClear(&item->m_vValue);
    item->m_dwQuality = quality;
    item->m_ftTimeStamp = timeStamp;
    Advise(conn, item);
    conn->m_tmLastUpdate = CTime::GetCurrentTime();
    // The advise may have run a DDE transaction: the list is asked afresh.
    if (m_pListener != nullptr && FindServer(hServer) == conn) m_pListener->OnRowChanged(conn, row);
    return TRUE;
}

void CConnectionList::Advise(CServerConnection* conn, CTagItem* item) {
    // An item no client ever linked has nothing to post to; under Wine a post costs a walk
    // over every link of the instance all the same (docs/wine-notes.md).
    if (!item->m_bLinked) return;
    if (m_pGate != nullptr && !m_pGate->Advise(conn->m_hszTopic, item->m_hszItem)) {
        // A deferred advise: the first item of that name waits for the flush.
        if (CTagItem* first = conn->FindItem(item->m_hszItem)) first->m_bAdvisePending = 1;
    }
}

void CConnectionList::FlushPendingAdvises() {
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        CServerConnection* conn = GetAt(i);
        if (conn == nullptr) continue;
        for (int r = 0; r < conn->GetItemCount(); ++r) {
            CTagItem* item = conn->GetItem(r);
            if (item == nullptr || !item->m_bAdvisePending) continue;
            item->m_bAdvisePending = 0;  // cleared whether or not the post is suppressed
            Advise(conn, item);
        }
    }
}
