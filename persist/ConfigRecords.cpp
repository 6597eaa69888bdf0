// The records' part of the configuration file: one block per connection, one line per item.
#include "app/VantrelApp.h"
#include "opc/ServerConnection.h"
#include "opc/TagItem.h"
#include "persist/Config.h"
#include "persist/KeyValue.h"

#include <string>

namespace {

DWORD DdeInstance() {
    CVantrelApp* app = GetVantrelApp();
    return app != nullptr ? app->m_idInst : 0;
}

}  // namespace

BOOL CTagItem::Load(CFile& file) {
    if (!ReadStringEntry(&file, "TagName", &m_strTagName)) return FALSE;
    m_strExtra.Empty();
    m_hszItem = ::DdeCreateStringHandleA(DdeInstance(), m_strTagName, 0);
    return TRUE;
}

void CTagItem::Save(CFile& file) const { WriteStringEntry(&file, "TagName", m_strTagName); }

BOOL CServerConnection::Load(CFile& file) {
    ULONGLONG start = file.GetPosition();
    int updateRate = static_cast<int>(m_dwUpdateRate);
    ReadIntEntry(&file, "UpdateRate", &updateRate);
    m_dwUpdateRate = static_cast<DWORD>(updateRate);
    ReadFloatEntry(&file, "Deadband", &m_fDeadband);
    ReadStringEntry(&file, "MachineName", &m_strMachineName);
    ReadStringEntry(&file, "ServerName", &m_strServerName);
    ReadStringEntry(&file, "Alias", &m_strAlias);
    int count = 0;
    ReadIntEntry(&file, "Number Of Items", &count);
    for (int i = 0; i < count; ++i) {
        CTagItem* item = new CTagItem;
        if (!item->Load(file)) {  // nothing behind the count any more
            delete item;
            break;
        }
        m_items.Add(item);
    }
    if (file.GetPosition() == start) return FALSE;
    m_hszTopic = ::DdeCreateStringHandleA(DdeInstance(), m_strAlias, 0);
    return TRUE;
}

void CServerConnection::Save(CFile& file) const {
    WriteIntEntry(&file, "UpdateRate", static_cast<int>(m_dwUpdateRate));
    WriteFloatEntry(&file, "Deadband", m_fDeadband);
    WriteStringEntry(&file, "MachineName", m_strMachineName);
    WriteStringEntry(&file, "ServerName", m_strServerName);
    WriteStringEntry(&file, "Alias", m_strAlias);
    WriteIntEntry(&file, "Number Of Items", m_items.GetSize());
    for (int i = 0; i < m_items.GetSize(); ++i) {
        if (CTagItem* item = GetItem(i)) item->Save(file);
    }
}

void ReadConfiguration(CFile& file, CString* fileRev, CObArray* connections, CReadProblems* problems) {
    if (problems != nullptr) {
        problems->IndexLines(file);
        problems->SetKnownKeys({"FileRev", "Number Of Connections", "UpdateRate", "Deadband", "MachineName",
                                "ServerName", "Alias", "Number Of Items", "TagName"});
        file.SetReadProblems(problems);
    }
    ReadStringEntry(&file, "FileRev", fileRev);
    int count = 0;
    ULONGLONG countAt = file.GetPosition();
    ReadIntEntry(&file, "Number Of Connections", &count);
    // With a problem list, connection blocks beyond the count are loaded too: a count
    // edited too low must not drop them from the next save.
    for (int i = 0;; ++i) {
        if (problems == nullptr && i >= count) break;
        if (problems != nullptr && SkipBlankLinesToEnd(&file)) {
            if (i < count)
                problems->Add(countAt, "the count says " + CString(std::to_string(count).c_str()) +
                                           ", the file holds " + CString(std::to_string(i).c_str()));
            break;
        }
        CServerConnection* conn = new CServerConnection;
        bool loaded = conn->Load(file) != FALSE;
        // Read over as unknown lines, nothing of a connection: not one to keep.
        if (loaded && problems != nullptr && conn->m_strServerName.IsEmpty() && conn->GetItemCount() == 0)
            loaded = false;
        if (!loaded) {
            delete conn;  // disconnected and empty: no library call is made
            break;
        }
        if (problems != nullptr && i == count) problems->Add(countAt, "more connections than the count says");
        connections->Add(conn);
    }
    if (problems != nullptr) {
        if (!SkipBlankLinesToEnd(&file))
            problems->Add(file.GetPosition(), "not read: the lines from here to line " +
                                                  CString(std::to_string(problems->LineCount()).c_str()));
        file.SetReadProblems(nullptr);
    }
}

void WriteConfiguration(CFile& file, const CString& fileRev, const CObArray& connections) {
    WriteStringEntry(&file, "FileRev", fileRev);
    WriteIntEntry(&file, "Number Of Connections", connections.GetSize());
    for (int i = 0; i < connections.GetSize(); ++i) {
        if (auto* conn = static_cast<const CServerConnection*>(connections.GetAt(i))) conn->Save(file);
    }
}
