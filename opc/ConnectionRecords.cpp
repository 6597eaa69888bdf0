// The records' part of the configuration file: one block per connection, one line per item.
#include "opc/ConnectionList.h"
#include "opc/ServerConnection.h"
#include "opc/TagItem.h"
#include "persist/ItemId.h"
#include "persist/KeyValue.h"

#include <string>

CTagItem* CTagItem::Load(CFile& file, BOOL* refused) {
    *refused = FALSE;
    CString tagName;
    ULONGLONG start = file.GetPosition();
    if (!ReadStringEntry(&file, "TagName", &tagName)) return nullptr;
    // A line longer than the reader's buffer comes back cut, and so too long here as well.
    ItemIdFit fit = CheckItemId(tagName, static_cast<size_t>(tagName.GetLength()));
    if (fit == ItemIdFit::kFits) return new CTagItem(tagName);
    *refused = TRUE;
    if (CReadProblems* problems = file.GetReadProblems())
        problems->Add(start, CString("item skipped: ") + ItemIdFitText(fit));
    return nullptr;
}

void CTagItem::Save(CFile& file) const { WriteStringEntry(&file, "TagName", m_strTagName); }

CServerConnection* CServerConnection::Load(CFile& file, DWORD idInst) {
    ULONGLONG start = file.GetPosition();
    int updateRate = 1000;
    float deadband = 0.0f;
    CString machine, server, alias;
    ReadIntEntry(&file, "UpdateRate", &updateRate);
    ReadFloatEntry(&file, "Deadband", &deadband);
    ReadStringEntry(&file, "MachineName", &machine);
    ReadStringEntry(&file, "ServerName", &server);
    ReadStringEntry(&file, "Alias", &alias);
    int count = 0;
    ReadIntEntry(&file, "Number Of Items", &count);
    auto* conn = new CServerConnection(idInst, machine, server, alias, static_cast<DWORD>(updateRate), deadband);
    for (int i = 0; i < count; ++i) {
        BOOL refused = FALSE;
        CTagItem* item = CTagItem::Load(file, &refused);
        if (refused) continue;
        if (item == nullptr) break;  // nothing behind the count any more
        conn->AddItem(item);
    }
    if (file.GetPosition() == start) {
        delete conn;  // disconnected and empty: no library call is made
        return nullptr;
    }
    return conn;
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

void CConnectionList::Read(CFile& file, CString* fileRev, CReadProblems* problems) {
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
    DWORD idInst = DdeInstance();
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
        CServerConnection* conn = CServerConnection::Load(file, idInst);
        // Read over as unknown lines, nothing of a connection: not one to keep.
        if (conn != nullptr && problems != nullptr && conn->m_strServerName.IsEmpty() && conn->GetItemCount() == 0) {
            delete conn;
            conn = nullptr;
        }
        if (conn == nullptr) break;
        if (problems != nullptr && i == count) problems->Add(countAt, "more connections than the count says");
        Add(conn);
    }
    if (problems != nullptr) {
        if (!SkipBlankLinesToEnd(&file))
            problems->Add(file.GetPosition(), "not read: the lines from here to line " +
                                                  CString(std::to_string(problems->LineCount()).c_str()));
        file.SetReadProblems(nullptr);
    }
}

void CConnectionList::Write(CFile& file, const CString& fileRev) const {
    WriteStringEntry(&file, "FileRev", fileRev);
    WriteIntEntry(&file, "Number Of Connections", m_connections.GetSize());
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        if (const CServerConnection* conn = GetAt(i)) conn->Save(file);
    }
}
