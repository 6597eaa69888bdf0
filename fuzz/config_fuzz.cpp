// Reads arbitrary bytes as a configuration file, saves what was loaded and loads that
// again. Besides memory errors it checks that saving is stable: a file the program wrote
// reads back to the same file, and reads clean with a problem list on.
//
// The program's reader (opc/ConnectionRecords.cpp) fills window-side records that make DDE
// string handles, so it is Windows-only; this target drives the host-portable layer it
// stands on (persist/KeyValue over persist/File) with its sequence of calls and its two
// stopping rules: a connection block that consumes nothing ends the list, and so does an
// item without its TagName line. Keep the two in step.
#include <cstddef>
#include <cstdint>
#include <string>

#include "persist/KeyValue.h"

namespace {

std::string Contents(const CMemFile& f) {
    return std::string(reinterpret_cast<const char*>(f.GetData()), static_cast<size_t>(f.GetLength()));
}

// Loads the file as the program does and answers what saving the loaded configuration writes.
std::string LoadAndSave(const std::string& text, CReadProblems* problems) {
    CMemFile f(text.data(), static_cast<UINT>(text.size())), body;
    if (problems) {
        problems->IndexLines(f);
        problems->SetKnownKeys({"FileRev", "Number Of Connections", "UpdateRate", "Deadband", "MachineName",
                                "ServerName", "Alias", "Number Of Items", "TagName"});
        f.SetReadProblems(problems);
    }
    CString fileRev = "1.00";
    int count = 0, loaded = 0;
    ReadStringEntry(&f, "FileRev", &fileRev);
    ReadIntEntry(&f, "Number Of Connections", &count);
    for (; loaded < count; ++loaded) {
        const ULONGLONG start = f.GetPosition();
        int updateRate = 1000, items = 0;
        float deadband = 0;
        CString machine, server, alias;
        ReadIntEntry(&f, "UpdateRate", &updateRate);
        ReadFloatEntry(&f, "Deadband", &deadband);
        ReadStringEntry(&f, "MachineName", &machine);
        ReadStringEntry(&f, "ServerName", &server);
        ReadStringEntry(&f, "Alias", &alias);
        ReadIntEntry(&f, "Number Of Items", &items);
        CMemFile tags;
        int tagCount = 0;
        for (CString tag; tagCount < items && ReadStringEntry(&f, "TagName", &tag); ++tagCount)
            WriteStringEntry(&tags, "TagName", tag);
        if (f.GetPosition() == start) break;
        WriteIntEntry(&body, "UpdateRate", updateRate);
        WriteFloatEntry(&body, "Deadband", deadband);
        WriteStringEntry(&body, "MachineName", machine);
        WriteStringEntry(&body, "ServerName", server);
        WriteStringEntry(&body, "Alias", alias);
        WriteIntEntry(&body, "Number Of Items", tagCount);
        body.Write(tags.GetData(), static_cast<UINT>(tags.GetLength()));
    }
    f.SetReadProblems(nullptr);
    if (problems) problems->NoticeText();
    CMemFile saved;
    WriteStringEntry(&saved, "FileRev", fileRev);
    WriteIntEntry(&saved, "Number Of Connections", loaded);
    return Contents(saved) + Contents(body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string first = LoadAndSave(input, nullptr);
    if (LoadAndSave(first, nullptr) != first) __builtin_trap();

    // Reading past faults ends and stays in bounds; a file the program wrote reads clean.
    CReadProblems problems, none;
    LoadAndSave(input, &problems);
    if (LoadAndSave(first, &none) != first || !none.IsClean()) __builtin_trap();
    return 0;
}
