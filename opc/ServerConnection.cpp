#include "opc/ServerConnection.h"

#include "opc/DdeName.h"
#include "opc/Notifications.h"
#include "opc/OpcLibrary.h"

namespace {

const char kGroupName[] = "Group 1";

}  // namespace

CString FormatConnectedStatus(const CTime& connected) { return connected.Format("Connected: %H:%M:%S %d-%B-%Y"); }

CServerConnection::CServerConnection(DWORD idInst, const char* machine, const char* server, const char* alias,
                                     DWORD updateRate, float deadband)
    : m_dwUpdateRate(updateRate),
      m_fDeadband(deadband),
      m_strMachineName(machine),
      m_strServerName(server),
      m_strAlias(alias),
      m_hszTopic(idInst != 0 ? ::DdeCreateStringHandleA(idInst, alias, 0) : nullptr) {}

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

int CServerConnection::AddItem(CTagItem* item) {
    int row = m_items.Add(item);
    if (item->m_hItem != -1) m_rowByHandle.emplace(item->m_hItem, row);  // the first row keeps a key
    m_rowsByName.emplace(HashDdeName(item->m_strTagName), row);
    return row;
}

void CServerConnection::RemoveItem(int row) {
    CTagItem* item = GetItem(row);
    if (item == nullptr) return;
    OpcRemoveItem(m_hServer, m_hGroup, item->m_hItem);
    m_items.RemoveAt(row);
    delete item;
    IndexHandles();  // the rows behind it moved up
    for (auto it = m_rowsByName.begin(); it != m_rowsByName.end();) {
        if (it->second == row) {
            it = m_rowsByName.erase(it);
            continue;
        }
        if (it->second > row) --it->second;
        ++it;
    }
}

void CServerConnection::IndexHandles() {
    m_rowByHandle.clear();
    m_rowByHandle.reserve(static_cast<size_t>(m_items.GetSize()));
    for (int row = 0; row < m_items.GetSize(); ++row) {
        CTagItem* item = GetItem(row);
        if (item != nullptr && item->m_hItem != -1) m_rowByHandle.emplace(item->m_hItem, row);
    }
}

CTagItem* CServerConnection::FindItem(const char* name) const {
    const std::string folded = FoldDdeName(name);
    auto range = m_rowsByName.equal_range(std::hash<std::string>()(folded));
    int first = -1;
    for (auto it = range.first; it != range.second; ++it) {
        const CTagItem* item = GetItem(it->second);
        if (item != nullptr && (first == -1 || it->second < first) && FoldDdeName(item->m_strTagName) == folded)
            first = it->second;
    }
    return first != -1 ? GetItem(first) : nullptr;
}

int CServerConnection::FindRow(int hItem) const {
    auto it = m_rowByHandle.find(hItem);
    return it != m_rowByHandle.end() ? it->second : -1;
}

BOOL CServerConnection::Open(int hServer) {
    int hGroup = OpcAddGroup(hServer, kGroupName, &m_dwUpdateRate, &m_fDeadband);
    if (hGroup == -1) {
        OpcDisconnectServer(hServer);
        return FALSE;
    }
    m_hServer = hServer;
    m_hGroup = hGroup;
    m_tmConnected = CTime::GetCurrentTime();
    m_tmLastUpdate = CTime();
    OpcSetDataChangeCallback(hServer, &OpcDataChangeProc);
    OpcSetShutdownCallback(hServer, &OpcShutdownProc);
    OpcSetLibraryCallback(&OpcLibraryProc);
    for (int i = 0; i < m_items.GetSize(); ++i) {
        if (CTagItem* item = GetItem(i)) item->m_hItem = OpcAddItem(hServer, hGroup, item->m_strTagName);
    }
    IndexHandles();
    OpcRefreshGroup(hServer, hGroup, KOBRIX_REFRESH_GROUP);
    return TRUE;
}

void CServerConnection::Close(BOOL lost) {
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CTagItem* item = GetItem(i);
        if (item == nullptr) continue;
        OpcRemoveItem(m_hServer, m_hGroup, item->m_hItem);
        item->m_hItem = -1;  // the handle is the library's no more
        item->m_dwQuality = 0;
    }
    m_rowByHandle.clear();
    if (m_hGroup != -1) {
        OpcRemoveGroup(m_hServer, m_hGroup);
        m_hGroup = -1;
    }
    if (m_hServer != -1) {
        OpcDisconnectServer(m_hServer);
        m_hServer = -1;
    }
    m_strStatus =
        lost ? "<<<<<<< Connection to Server Lost >>>>>>>>>" : "<<<<<<< Server Requested Disconnect >>>>>>>>>";
}

CString CServerConnection::StatusText() const {
    if (m_hServer == -1) return m_strStatus;
    CString text = FormatConnectedStatus(m_tmConnected);
    if (m_tmLastUpdate != CTime()) text += m_tmLastUpdate.Format("    Last Updated: %H:%M:%S %d-%b-%Y");
    return text;
}
