#include "persist/ConfigRecords.h"

#include <string>

#include "persist/ItemId.h"

namespace {

CString Number(int n) { return CString(std::to_string(n).c_str()); }

// One connection's block; false when it consumed nothing (the list ends there).
bool ReadConnection(CFile& file, CConnectionRecord* conn) {
    const ULONGLONG start = file.GetPosition();
    int count = 0;
    ReadIntEntry(&file, "UpdateRate", &conn->updateRate);
    ReadFloatEntry(&file, "Deadband", &conn->deadband);
    ReadStringEntry(&file, "MachineName", &conn->machine);
    ReadStringEntry(&file, "ServerName", &conn->server);
    ReadStringEntry(&file, "Alias", &conn->alias);
    ReadIntEntry(&file, "Number Of Items", &count);
    for (int i = 0; i < count; ++i) {
        const ULONGLONG at = file.GetPosition();
        CString id;
        if (!ReadStringEntry(&file, "TagName", &id)) break;  // nothing behind the count any more
        // A line longer than the reader's buffer comes back cut, and so too long here as well.
        const ItemIdFit fit = CheckItemId(id, static_cast<size_t>(id.GetLength()));
        if (fit == ItemIdFit::kFits) {
            conn->items.push_back(id);
        } else if (CReadProblems* problems = file.GetReadProblems()) {
            problems->Add(at, CString("item skipped: ") + ItemIdFitText(fit));
        }
    }
    return file.GetPosition() != start;
}

}  // namespace

void ReadConfigRecords(CFile& file, CConfigRecords* out, CReadProblems* problems) {
    if (problems != nullptr) {
        problems->IndexLines(file);
        problems->SetKnownKeys({"FileRev", "Number Of Connections", "UpdateRate", "Deadband", "MachineName",
                                "ServerName", "Alias", "Number Of Items", "TagName"});
        file.SetReadProblems(problems);
    }
    ReadStringEntry(&file, "FileRev", &out->fileRev);
    int count = 0;
    const ULONGLONG countAt = file.GetPosition();
    ReadIntEntry(&file, "Number Of Connections", &count);
    for (int i = 0;; ++i) {
        if (problems == nullptr && i >= count) break;
        if (problems != nullptr && SkipBlankLinesToEnd(&file)) {
            if (i < count) problems->Add(countAt, "the count says " + Number(count) + ", the file holds " + Number(i));
            break;
        }
        CConnectionRecord conn;
        if (!ReadConnection(file, &conn)) break;
        // Read over as unknown lines, nothing of a connection: not one to keep.
        if (problems != nullptr && conn.server.IsEmpty() && conn.items.empty()) break;
        if (problems != nullptr && i == count) problems->Add(countAt, "more connections than the count says");
        out->connections.push_back(std::move(conn));
    }
    if (problems != nullptr) {
        if (!SkipBlankLinesToEnd(&file))
            problems->Add(file.GetPosition(), "not read: the lines from here to line " + Number(problems->LineCount()));
        file.SetReadProblems(nullptr);
    }
}

void WriteConfigHeader(CFile& file, const CString& fileRev, int connections) {
    WriteStringEntry(&file, "FileRev", fileRev);
    WriteIntEntry(&file, "Number Of Connections", connections);
}

void WriteConnectionHeader(CFile& file, const CConnectionRecord& head, int items) {
    WriteIntEntry(&file, "UpdateRate", head.updateRate);
    WriteFloatEntry(&file, "Deadband", head.deadband);
    WriteStringEntry(&file, "MachineName", head.machine);
    WriteStringEntry(&file, "ServerName", head.server);
    WriteStringEntry(&file, "Alias", head.alias);
    WriteIntEntry(&file, "Number Of Items", items);
}

void WriteItemRecord(CFile& file, const CString& id) { WriteStringEntry(&file, "TagName", id); }
