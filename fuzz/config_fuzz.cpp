// Reads arbitrary bytes as a configuration file, saves what was loaded and loads that
// again. Besides memory errors it checks that saving is stable: a file the program wrote
// reads back to the same file.
//
// The program's reader (persist/ConfigRecords.cpp) fills window-side records that make DDE
// string handles, so it is Windows-only; this target drives the host-portable layer it
// stands on (persist/KeyValue over persist/File) with exactly its sequence of calls and
// its two stopping rules: a connection block that consumes nothing ends the list, and so
// does an item without its TagName line. Keep the two in step.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "persist/KeyValue.h"

namespace {

struct Connection {
    int updateRate = 1000;
    float deadband = 0;
    CString machine, server, alias;
    std::vector<CString> tags;
};

struct Config {
    CString fileRev = "1.00";
    std::vector<Connection> connections;
};

Config Load(CFile* f) {
    Config c;
    int count = 0;
    ReadStringEntry(f, "FileRev", &c.fileRev);
    ReadIntEntry(f, "Number Of Connections", &count);
    for (int i = 0; i < count; ++i) {
        const ULONGLONG start = f->GetPosition();
        Connection conn;
        int items = 0;
        ReadIntEntry(f, "UpdateRate", &conn.updateRate);
        ReadFloatEntry(f, "Deadband", &conn.deadband);
        ReadStringEntry(f, "MachineName", &conn.machine);
        ReadStringEntry(f, "ServerName", &conn.server);
        ReadStringEntry(f, "Alias", &conn.alias);
        ReadIntEntry(f, "Number Of Items", &items);
        for (int j = 0; j < items; ++j) {
            CString tag;
            if (!ReadStringEntry(f, "TagName", &tag)) break;
            conn.tags.push_back(tag);
        }
        if (f->GetPosition() == start) break;
        c.connections.push_back(conn);
    }
    return c;
}

std::string Save(const Config& c) {
    CMemFile f;
    WriteStringEntry(&f, "FileRev", c.fileRev);
    WriteIntEntry(&f, "Number Of Connections", static_cast<int>(c.connections.size()));
    for (const Connection& conn : c.connections) {
        WriteIntEntry(&f, "UpdateRate", conn.updateRate);
        WriteFloatEntry(&f, "Deadband", conn.deadband);
        WriteStringEntry(&f, "MachineName", conn.machine);
        WriteStringEntry(&f, "ServerName", conn.server);
        WriteStringEntry(&f, "Alias", conn.alias);
        WriteIntEntry(&f, "Number Of Items", static_cast<int>(conn.tags.size()));
        for (const CString& tag : conn.tags) WriteStringEntry(&f, "TagName", tag);
    }
    return std::string(reinterpret_cast<const char*>(f.GetData()), static_cast<size_t>(f.GetLength()));
}

// Reads with a problem list on the file, as the program's start-up does.
Config LoadReportingProblems(CFile* f, CReadProblems* problems) {
    problems->IndexLines(*f);
    problems->SetKnownKeys({"FileRev", "Number Of Connections", "UpdateRate", "Deadband", "MachineName", "ServerName",
                            "Alias", "Number Of Items", "TagName"});
    f->SetReadProblems(problems);
    Config c = Load(f);
    f->SetReadProblems(nullptr);
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    CMemFile input(data, static_cast<UINT>(size));
    std::string first = Save(Load(&input));
    CMemFile saved(first.data(), static_cast<UINT>(first.size()));
    std::string second = Save(Load(&saved));
    if (first != second) __builtin_trap();

    // Reading past faults ends and stays in bounds; a file the program wrote reads clean.
    CMemFile tolerant(data, static_cast<UINT>(size));
    CReadProblems problems;
    LoadReportingProblems(&tolerant, &problems);
    problems.NoticeText();
    CMemFile written(first.data(), static_cast<UINT>(first.size()));
    CReadProblems none;
    std::string third = Save(LoadReportingProblems(&written, &none));
    if (third != first || !none.IsClean()) __builtin_trap();
    return 0;
}
