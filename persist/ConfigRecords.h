#pragma once
// The configuration file's records as plain data: one block per connection, one line per
// item. Reading and writing here make no connection and no DDE name, so the same reader
// runs in the program and under the fuzzer; the connection list turns records into
// connections. Portable, both builds.
#include <vector>

#include "persist/KeyValue.h"

struct CConnectionRecord {
    int updateRate = 1000;
    float deadband = 0.0f;
    CString machine, server, alias;
    std::vector<CString> items;
};

struct CConfigRecords {
    CString fileRev = "1.00";
    std::vector<CConnectionRecord> connections;
};

// Reads as far as the file allows: without a problem list, "Number Of Connections" blocks,
// each ending at the first item without its line; with one, it also takes blocks beyond the
// count (a count edited too low must not drop them from the next save), skips ids a row
// cannot hold, and records every line it could not read.
void ReadConfigRecords(CFile& file, CConfigRecords* out, CReadProblems* problems = nullptr);

// The writer, in pieces, so that a save streams the live records without copying them.
void WriteConfigHeader(CFile& file, const CString& fileRev, int connections);
void WriteConnectionHeader(CFile& file, const CConnectionRecord& head, int items);
void WriteItemRecord(CFile& file, const CString& id);
