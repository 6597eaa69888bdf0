// The connection list's side of the configuration file: records in, connections out, and
// back (the file's format is persist/ConfigRecords).
#include "opc/ConnectionList.h"
#include "opc/ServerConnection.h"
#include "opc/TagItem.h"
#include "persist/ConfigRecords.h"

void CConnectionList::Read(CFile& file, CString* fileRev, CReadProblems* problems) {
    CConfigRecords records;
    records.fileRev = *fileRev;
    ReadConfigRecords(file, &records, problems);
    *fileRev = records.fileRev;
    const DWORD idInst = DdeInstance();
    for (const CConnectionRecord& r : records.connections) {
        auto* conn =
            new CServerConnection(idInst, r.machine, r.server, r.alias, static_cast<DWORD>(r.updateRate), r.deadband);
        for (const CString& id : r.items) conn->AddItem(new CTagItem(id));
        Add(conn);
    }
}

void CConnectionList::Write(CFile& file, const CString& fileRev) const {
    WriteConfigHeader(file, fileRev, m_connections.GetSize());
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        const CServerConnection* conn = GetAt(i);
        if (conn == nullptr) continue;
        CConnectionRecord head;
        head.updateRate = static_cast<int>(conn->m_dwUpdateRate);
        head.deadband = conn->m_fDeadband;
        head.machine = conn->m_strMachineName;
        head.server = conn->m_strServerName;
        head.alias = conn->m_strAlias;
        WriteConnectionHeader(file, head, conn->GetItemCount());
        for (int k = 0; k < conn->GetItemCount(); ++k)
            if (const CTagItem* item = conn->GetItem(k)) WriteItemRecord(file, item->m_strTagName);
    }
}
