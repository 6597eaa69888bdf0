// Reads arbitrary bytes as a configuration file with the program's reader, saves what was
// read with its writer and reads that again. Besides memory errors it checks that saving is
// stable: a file the program wrote reads back to the same file, and reads clean with a
// problem list on. (The connection list only turns these records into connections.)
#include <cstddef>
#include <cstdint>
#include <string>

#include "persist/ConfigRecords.h"

namespace {

std::string Contents(const CMemFile& f) {
    return std::string(reinterpret_cast<const char*>(f.GetData()), static_cast<size_t>(f.GetLength()));
}

std::string LoadAndSave(const std::string& text, CReadProblems* problems) {
    CMemFile f(text.data(), static_cast<UINT>(text.size())), saved;
    CConfigRecords records;
    ReadConfigRecords(f, &records, problems);
    if (problems) problems->NoticeText();
    WriteConfigHeader(saved, records.fileRev, static_cast<int>(records.connections.size()));
    for (const CConnectionRecord& conn : records.connections) {
        WriteConnectionHeader(saved, conn, static_cast<int>(conn.items.size()));
        for (const CString& id : conn.items) WriteItemRecord(saved, id);
    }
    return Contents(saved);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 20) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string plain = LoadAndSave(input, nullptr);
    if (LoadAndSave(plain, nullptr) != plain) __builtin_trap();

    // The program reads with a problem list: reading past faults ends and stays in bounds,
    // and a file it wrote reads back the same and clean.
    CReadProblems problems, none;
    const std::string first = LoadAndSave(input, &problems);
    if (LoadAndSave(first, &none) != first || !none.IsClean() || LoadAndSave(first, nullptr) != first) __builtin_trap();
    return 0;
}
