#include "persist/KeyValue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Contents(const CMemFile& f) {
    return std::string(reinterpret_cast<const char*>(f.GetData()), static_cast<size_t>(f.GetLength()));
}

// Reads from a file holding text, one read per entry: 'S', 'I' or 'F' and the key. Answers
// "<answer>:<target after the read>" per read and the position at the end; the targets
// start as "was", 1000 and 7.
struct Read {
    char kind;
    std::string key;
};
std::string Reads(const std::string& text, const std::vector<Read>& reads) {
    CMemFile f(text.data(), static_cast<UINT>(text.size()));
    CString s("was");
    int i = 1000;
    float x = 7;
    std::string log;
    for (const Read& r : reads) {
        char shown[32];
        BOOL answer = FALSE;
        if (r.kind == 'S') answer = ReadStringEntry(&f, r.key.c_str(), &s);
        if (r.kind == 'I') answer = ReadIntEntry(&f, r.key.c_str(), &i);
        if (r.kind == 'F') answer = ReadFloatEntry(&f, r.key.c_str(), &x);
        if (r.kind == 'I') std::snprintf(shown, sizeof shown, "%d", i);
        if (r.kind == 'F') std::snprintf(shown, sizeof shown, "%g", static_cast<double>(x));
        log += std::to_string(answer) + ":" + (r.kind == 'S' ? std::string(s) : std::string(shown)) + "|";
    }
    return log + "@" + std::to_string(f.GetPosition());
}

TEST(KeyValueWrite, UsesTheThreeEntryFormatsOnOneBoundedLineEach) {
    CMemFile f;
    EXPECT_EQ(WriteStringEntry(&f, "FileRev", "1.00"), 1);
    EXPECT_EQ(WriteIntEntry(&f, "Number Of Items", -7), 1);
    EXPECT_EQ(WriteFloatEntry(&f, "Deadband", 0.0f), 1);
    EXPECT_EQ(WriteFloatEntry(&f, "Deadband", -3.25f), 1);
    EXPECT_EQ(WriteStringEntry(&f, "MachineName", ""), 1);
    EXPECT_EQ(WriteStringEntry(&f, "Alias", "  two\r\nlines\n"), 1);  // a line break would split the entry
    EXPECT_EQ(Contents(f),
              "FileRev = 1.00\r\n"
              "Number Of Items = -7\r\n"
              "Deadband = 0.000000\r\n"
              "Deadband = -3.250000\r\n"
              "MachineName = \r\n"
              "Alias =   twolines\r\n");
    EXPECT_EQ(WriteStringEntry(nullptr, "A", "b"), 0);

    CMemFile g;
    WriteStringEntry(&g, "TagName", CString('v', 2000));
    std::string line = Contents(g);
    EXPECT_EQ(line.size(), 999u);  // what a 1000-byte buffer holds
    EXPECT_EQ(line.substr(0, 10), "TagName = ");
    EXPECT_EQ(line.find('\r'), 997u);
    EXPECT_EQ(line.substr(997), "\r\n");
    CMemFile h;
    WriteIntEntry(&h, CString('k', 600), 5);
    line = Contents(h);
    EXPECT_EQ(line.size(), 499u);
    EXPECT_EQ(line.substr(497), "\r\n");
    CMemFile k;
    WriteFloatEntry(&k, "Deadband", 3.4028235e38f);  // the longest "%f" a float gives
    line = Contents(k);
    EXPECT_EQ(line.substr(0, 16), "Deadband = 34028");
    EXPECT_EQ(line.substr(line.size() - 9), ".000000\r\n");
}

TEST(KeyValueRead, ReadsBackWhatWasWrittenAndNothingAtTheEnd) {
    CMemFile f;
    WriteIntEntry(&f, "Number Of Connections", 2147483647);
    WriteIntEntry(&f, "UpdateRate", -2147483647 - 1);
    WriteFloatEntry(&f, "Deadband", 12.5f);
    WriteStringEntry(&f, "Alias", "  lead and trail  ");
    WriteStringEntry(&f, "TagName", "a=b");  // only the first "=" separates
    EXPECT_EQ(
        Reads(Contents(f), {{'I', "Number Of Connections"},
                            {'I', "UpdateRate"},
                            {'F', "Deadband"},
                            {'S', "Alias"},
                            {'S', "TagName"},
                            {'S', "TagName"},
                            {'S', ""}}),
        "1:2147483647|1:-2147483648|1:12.5|1:  lead and trail  |1:a=b|0:a=b|0:a=b|@" + std::to_string(f.GetLength()));
}

TEST(KeyValueRead, TheLineFormatsEdges) {
    const std::string longLine = "TagName = " + std::string(3000, 'x') + "\r\nTagName = next\r\n";
    const struct {
        std::string text;
        std::vector<Read> reads;
        std::string log;
    } cases[] = {
        // The value starts at the second character after the "=".
        {"Alias=abc\r\nAlias=\r\nAlias=x\nAlias =   v\r\n",
         {{'S', "Alias"}, {'S', "Alias"}, {'S', "Alias"}, {'S', "Alias"}},
         "1:bc|1:|1:|1:  v|@40"},
        // Keys match by case-sensitive prefix; an empty key matches any line.
        {"AliasName = x\r\nAlias = y\r\n", {{'S', "alias"}}, "0:was|@0"},
        {"AliasName = x\r\nAlias = y\r\n", {{'S', "Alias"}, {'S', ""}}, "1:x|1:y|@26"},
        // A foreign or empty line blocks every later read; a missing entry is skipped.
        {"FileRev = 2.00\r\n\r\nNumber Of Connections = 1\r\n",
         {{'S', "FileRev"}, {'I', "Number Of Connections"}, {'I', "Number Of Connections"}},
         "1:2.00|0:1000|0:1000|@16"},
        {"Number Of Connections = 3\r\n", {{'S', "FileRev"}, {'I', "Number Of Connections"}}, "0:was|1:3|@27"},
        {"Alias only\r\n", {{'S', "Alias"}}, "0:was|@0"},  // a key without "=" is no entry
        // CRs are dropped anywhere; LF alone ends a line, and so does the end of the file.
        {"Ali\ras = a\rb\r\r\nTagName = t\n", {{'S', "Alias"}, {'S', "TagName"}}, "1:ab|1:t|@27"},
        {"TagName = last", {{'S', "TagName"}}, "1:last|@14"},
        // An overlong line is cut to what the buffer holds, and the next line read; an "="
        // beyond the buffer does not count; "=" at index 998 gives an empty value.
        {longLine, {{'S', "TagName"}, {'S', "TagName"}}, "1:" + std::string(989, 'x') + "|1:next|@3028"},
        {"Alias" + std::string(1200, ' ') + "= far\r\n", {{'S', "Alias"}}, "0:was|@0"},
        {"K" + std::string(997, ' ') + "=tail\r\n", {{'S', "K"}}, "1:|@1005"},
        // Numbers that cannot be read keep the target, but the line is consumed.
        {"UpdateRate = abc\r\nUpdateRate = 99999999999\r\nUpdateRate = \r\nUpdateRate =  -250ms\r\n",
         {{'I', "UpdateRate"}, {'I', "UpdateRate"}, {'I', "UpdateRate"}, {'I', "UpdateRate"}},
         "1:1000|1:1000|1:1000|1:-250|@81"},
        {"Deadband = x\r\nDeadband = 1e39\r\nDeadband = nan\r\nDeadband = inf\r\nDeadband = 2.5\r\n",
         {{'F', "Deadband"}, {'F', "Deadband"}, {'F', "Deadband"}, {'F', "Deadband"}, {'F', "Deadband"}},
         "1:7|1:7|1:7|1:7|1:2.5|@79"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.log, Reads(c.text, c.reads)) << c.text.substr(0, 60);
}

}  // namespace
