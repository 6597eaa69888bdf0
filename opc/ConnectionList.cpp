#include "opc/ConnectionList.h"

#include "opc/DdeName.h"
#include "opc/OpcLibrary.h"

namespace {

CConnectionList* g_pCurrent = nullptr;

}  // namespace

CConnectionList::~CConnectionList() {
    Detach();
    RemoveAll();
    FreeLinkedNames();
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
    ForgetLinkedItems(conn, -1);
    delete conn;
}

void CConnectionList::RemoveAll() {
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        ForgetLinkedItems(GetAt(i), -1);
        delete GetAt(i);
    }
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
    // Indexed before the calls: the server answers the refresh (and sends first updates) while
    // they still wait, and a value dropped then never comes again for an item that stays still.
    m_byServer[hServer] = conn;  // the library never hands out one handle twice at a time
    if (conn->Open(hServer)) return TRUE;
    m_byServer.erase(hServer);
    return FALSE;
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

CTagItem* CConnectionList::FindItem(HSZ hszTopic, HSZ hszItem, CServerConnection** ppConn) const {
    CServerConnection* conn = FindTopic(hszTopic);
    if (conn == nullptr || hszItem == nullptr) return nullptr;
    *ppConn = conn;
    return conn->FindItem(DdeNameText(DdeInstance(), hszItem).c_str());
}

BOOL CConnectionList::GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue) {
    CServerConnection* conn = nullptr;
    CTagItem* item = FindItem(hszTopic, hszItem, &conn);
    if (item == nullptr) return FALSE;
    if (pValue != nullptr) ::VariantCopy(pValue, &item->m_vValue);
    return TRUE;
}

int CConnectionList::WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue) {
    CServerConnection* conn = nullptr;
    CTagItem* item = FindItem(hszTopic, hszItem, &conn);
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

BOOL CConnectionList::Advise(CServerConnection* conn, CTagItem* item) {
    // An item no client links has nothing to post to; under Wine a post costs a walk over
    // every link of the instance all the same (docs/wine-notes.md). A linked item is the
    // first of its name, the one DDEML's requests find.
    if (!item->IsLinked() || m_pGate == nullptr) {
        item->m_bAdvisePending = 0;
        return TRUE;
    }
    // A post reaches every link of the item, a new one's too: nothing more waits.
    item->m_bAdvisePending = m_pGate->Advise(conn->m_hszTopic, item->m_hszItem) ? 0 : 1;
    return !item->m_bAdvisePending;
}

void CConnectionList::FlushPendingAdvises() {
    // Round the items, in row order (as a client's links were started), from where the last
    // flush stopped: when posts are held back for long, every item gets its turn.
    int total = 0;
    for (int i = 0; i < m_connections.GetSize(); ++i) total += GetAt(i) != nullptr ? GetAt(i)->GetItemCount() : 0;
    if (m_flushConn >= m_connections.GetSize()) m_flushConn = m_flushRow = 0;
    if (m_pGate != nullptr) m_pGate->BeginFlush();
    for (int seen = 0; seen < total; ++m_flushRow) {
        CServerConnection* conn = GetAt(m_flushConn);
        if (conn == nullptr || m_flushRow >= conn->GetItemCount()) {
            m_flushConn = (m_flushConn + 1) % m_connections.GetSize();
            m_flushRow = -1;
            continue;
        }
        ++seen;
        CTagItem* item = conn->GetItem(m_flushRow);
        if (item != nullptr && item->m_bAdvisePending && !Advise(conn, item)) break;  // held back: resume here
    }
    if (m_pGate != nullptr) m_pGate->EndFlush();
}
