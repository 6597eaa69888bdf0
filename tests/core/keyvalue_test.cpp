#include "persist/KeyValue.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Contents(const CMemFile& f) {
    return std::string(reinterpret_cast<const char*>(f.GetData()), static_cast<size_t>(f.GetLength()));
}

CMemFile FileOf(const std::string& text) { return CMemFile(text.data(), static_cast<UINT>(text.size())); }

}  // namespace

TEST(KeyValueWrite, UsesTheThreeEntryFormats) {
    CMemFile f;
    EXPECT_EQ(WriteStringEntry(&f, "FileRev", "1.00"), 1);
    EXPECT_EQ(WriteIntEntry(&f, "UpdateRate", 1000), 1);
    EXPECT_EQ(WriteIntEntry(&f, "Number Of Items", -7), 1);
    EXPECT_EQ(WriteFloatEntry(&f, "Deadband", 0.0f), 1);
    EXPECT_EQ(WriteFloatEntry(&f, "Deadband", 0.1f), 1);
    EXPECT_EQ(WriteFloatEntry(&f, "Deadband", -3.25f), 1);
    EXPECT_EQ(WriteStringEntry(&f, "MachineName", ""), 1);
    EXPECT_EQ(WriteStringEntry(&f, "Alias", "  two blanks"), 1);
    EXPECT_EQ(Contents(f),
              "FileRev = 1.00\r\n"
              "UpdateRate = 1000\r\n"
              "Number Of Items = -7\r\n"
              "Deadband = 0.000000\r\n"
              "Deadband = 0.100000\r\n"
              "Deadband = -3.250000\r\n"
              "MachineName = \r\n"
              "Alias =   two blanks\r\n");
    EXPECT_EQ(WriteStringEntry(nullptr, "A", "b"), 0);
}

TEST(KeyValueWrite, KeepsEachEntryOnOneBoundedLine) {
    CMemFile f;
    WriteStringEntry(&f, "TagName", CString('v', 2000));
    std::string line = Contents(f);
    EXPECT_EQ(line.size(), 999u);  // what a 1000-byte buffer holds
    EXPECT_EQ(line.substr(0, 10), "TagName = ");
    EXPECT_EQ(line.substr(997), "\r\n");
    EXPECT_EQ(line.find('\r'), 997u);

    CMemFile g;
    WriteIntEntry(&g, CString('k', 600), 5);
    line = Contents(g);
    EXPECT_EQ(line.size(), 499u);
    EXPECT_EQ(line.substr(497), "\r\n");

    CMemFile h;
    WriteFloatEntry(&h, "Deadband", 3.4028235e38f);  // the longest "%f" a float gives
    line = Contents(h);
    EXPECT_EQ(line.substr(0, 16), "Deadband = 34028");
    EXPECT_EQ(line.substr(line.size() - 9), ".000000\r\n");

    // A line break inside a value would split the entry and stop every later read.
    CMemFile k;
    WriteStringEntry(&k, "Alias", "two\r\nlines\n");
    WriteStringEntry(&k, "ServerName", "S");
    EXPECT_EQ(Contents(k), "Alias = twolines\r\nServerName = S\r\n");
}

TEST(KeyValueRead, ReadsBackWhatWasWritten) {
    CMemFile f;
    WriteStringEntry(&f, "FileRev", "1.00");
    WriteIntEntry(&f, "Number Of Connections", 2147483647);
    WriteIntEntry(&f, "UpdateRate", -2147483647 - 1);
    WriteFloatEntry(&f, "Deadband", 12.5f);
    WriteStringEntry(&f, "MachineName", "");
    WriteStringEntry(&f, "Alias", "  lead and trail  ");
    WriteStringEntry(&f, "TagName", "a=b");
    f.Seek(0, CFile::begin);

    CString rev, machine("old"), alias, tag;
    int count = 0, rate = 0;
    float deadband = 0;
    EXPECT_EQ(ReadStringEntry(&f, "FileRev", &rev), 1);
    EXPECT_EQ(ReadIntEntry(&f, "Number Of Connections", &count), 1);
    EXPECT_EQ(ReadIntEntry(&f, "UpdateRate", &rate), 1);
    EXPECT_EQ(ReadFloatEntry(&f, "Deadband", &deadband), 1);
    EXPECT_EQ(ReadStringEntry(&f, "MachineName", &machine), 1);
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &alias), 1);
    EXPECT_EQ(ReadStringEntry(&f, "TagName", &tag), 1);
    EXPECT_STREQ(rev, "1.00");
    EXPECT_EQ(count, 2147483647);
    EXPECT_EQ(rate, -2147483647 - 1);
    EXPECT_EQ(deadband, 12.5f);
    EXPECT_TRUE(machine.IsEmpty());
    EXPECT_STREQ(alias, "  lead and trail  ");
    EXPECT_STREQ(tag, "a=b");  // only the first "=" separates

    // At the end of the file every read fails and changes nothing.
    ULONGLONG end = f.GetPosition();
    EXPECT_EQ(ReadStringEntry(&f, "TagName", &tag), 0);
    EXPECT_EQ(ReadStringEntry(&f, "", &tag), 0);
    EXPECT_EQ(f.GetPosition(), end);
    EXPECT_STREQ(tag, "a=b");
}

TEST(KeyValueRead, SkipsExactlyOneCharacterAfterTheEquals) {
    CMemFile f = FileOf("Alias=abc\r\nAlias=\r\nAlias=x\nAlias =   v\r\n");
    CString v("unchanged");
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &v), 1);
    EXPECT_STREQ(v, "bc");
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &v), 1);  // line ends at the "="
    EXPECT_STREQ(v, "");
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &v), 1);
    EXPECT_STREQ(v, "");
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &v), 1);
    EXPECT_STREQ(v, "  v");
}

TEST(KeyValueRead, MatchesKeysByCaseSensitivePrefix) {
    CMemFile f = FileOf("AliasName = x\r\nAlias = y\r\n");
    CString v;
    EXPECT_EQ(ReadStringEntry(&f, "alias", &v), 0);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &v), 1);
    EXPECT_STREQ(v, "x");
    EXPECT_EQ(ReadStringEntry(&f, "", &v), 1);  // an empty key matches any line
    EXPECT_STREQ(v, "y");

    EXPECT_EQ(KeyMatches("Alias = 1", "Alias"), 1);
    EXPECT_EQ(KeyMatches("Alia", "Alias"), 0);
    EXPECT_EQ(KeyMatches("", "A"), 0);
    EXPECT_EQ(KeyMatches("", ""), 1);
    EXPECT_EQ(KeyMatches(nullptr, ""), 0);
    EXPECT_EQ(KeyMatches("A", CString("A\0B", 3)), 0);  // never reads past the line's end
}

TEST(KeyValueRead, AForeignOrEmptyLineBlocksEveryLaterRead) {
    CMemFile f = FileOf("FileRev = 2.00\r\n\r\nNumber Of Connections = 1\r\n");
    CString rev;
    int count = 42;
    EXPECT_EQ(ReadStringEntry(&f, "FileRev", &rev), 1);
    ULONGLONG blank = f.GetPosition();
    EXPECT_EQ(ReadIntEntry(&f, "Number Of Connections", &count), 0);
    EXPECT_EQ(f.GetPosition(), blank);
    EXPECT_EQ(ReadIntEntry(&f, "Number Of Connections", &count), 0);
    EXPECT_EQ(count, 42);

    // A missing entry is skipped: the next expected key still reads the same line.
    CMemFile g = FileOf("Number Of Connections = 3\r\n");
    CString rev2("1.00");
    EXPECT_EQ(ReadStringEntry(&g, "FileRev", &rev2), 0);
    EXPECT_EQ(ReadIntEntry(&g, "Number Of Connections", &count), 1);
    EXPECT_STREQ(rev2, "1.00");
    EXPECT_EQ(count, 3);

    // A matching key without "=" is not an entry.
    CMemFile h = FileOf("Alias only\r\n");
    EXPECT_EQ(ReadStringEntry(&h, "Alias", &rev2), 0);
    EXPECT_EQ(h.GetPosition(), 0u);
}

TEST(KeyValueRead, DropsCarriageReturnsAnywhere) {
    CMemFile f = FileOf("Ali\ras = a\rb\r\r\nTagName = t\n");
    CString v;
    EXPECT_EQ(ReadStringEntry(&f, "Alias", &v), 1);
    EXPECT_STREQ(v, "ab");
    EXPECT_EQ(ReadStringEntry(&f, "TagName", &v), 1);  // LF alone ends a line too
    EXPECT_STREQ(v, "t");
    CMemFile g = FileOf("TagName = last");  // no line end at the end of the file
    EXPECT_EQ(ReadStringEntry(&g, "TagName", &v), 1);
    EXPECT_STREQ(v, "last");
}

TEST(KeyValueRead, CutsOverlongLinesAndGoesOnWithTheNext) {
    std::string text = "TagName = " + std::string(3000, 'x') + "\r\nTagName = next\r\n";
    CMemFile f = FileOf(text);
    CString v;
    EXPECT_EQ(ReadStringEntry(&f, "TagName", &v), 1);
    EXPECT_EQ(v.GetLength(), 999 - 10);  // 999 characters of the line fit the buffer
    EXPECT_EQ(v.Find('x'), 0);
    EXPECT_EQ(ReadStringEntry(&f, "TagName", &v), 1);
    EXPECT_STREQ(v, "next");

    // The "=" beyond the buffer does not count.
    CMemFile g = FileOf("Alias" + std::string(1200, ' ') + "= far\r\n");
    EXPECT_EQ(ReadStringEntry(&g, "Alias", &v), 0);
    EXPECT_EQ(g.GetPosition(), 0u);

    // The last position that fits: "=" at index 998 gives an empty value.
    CMemFile h = FileOf("K" + std::string(997, ' ') + "=tail\r\n");
    EXPECT_EQ(ReadStringEntry(&h, "K", &v), 1);
    EXPECT_STREQ(v, "");
}

TEST(KeyValueRead, UnreadableNumbersKeepTheTargetButConsumeTheLine) {
    CMemFile f = FileOf(
        "UpdateRate = abc\r\n"
        "UpdateRate = 99999999999\r\n"
        "UpdateRate = \r\n"
        "UpdateRate =  -250ms\r\n"
        "Deadband = x\r\n"
        "Deadband = 1e39\r\n"
        "Deadband = nan\r\n"
        "Deadband = inf\r\n"
        "Deadband = 2.5\r\n");
    int rate = 1000;
    EXPECT_EQ(ReadIntEntry(&f, "UpdateRate", &rate), 1);
    EXPECT_EQ(rate, 1000);
    EXPECT_EQ(ReadIntEntry(&f, "UpdateRate", &rate), 1);  // beyond int: refused
    EXPECT_EQ(rate, 1000);
    EXPECT_EQ(ReadIntEntry(&f, "UpdateRate", &rate), 1);
    EXPECT_EQ(rate, 1000);
    EXPECT_EQ(ReadIntEntry(&f, "UpdateRate", &rate), 1);  // as "%d" reads: blanks, then digits
    EXPECT_EQ(rate, -250);
    float deadband = 7.0f;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ReadFloatEntry(&f, "Deadband", &deadband), 1);
        EXPECT_EQ(deadband, 7.0f) << "line " << i;
    }
    EXPECT_EQ(ReadFloatEntry(&f, "Deadband", &deadband), 1);
    EXPECT_EQ(deadband, 2.5f);
    EXPECT_EQ(f.GetPosition(), f.GetLength());
}

TEST(KeyValueRead, ReadLineReportsTheEndOfTheFile) {
    CMemFile f = FileOf("ab\r\n\nc");
    char line[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(ReadLine(&f, line, sizeof line), 1);
    EXPECT_STREQ(line, "ab");
    EXPECT_EQ(ReadLine(&f, line, sizeof line), 1);
    EXPECT_STREQ(line, "");
    EXPECT_EQ(ReadLine(&f, line, 2), 1);
    EXPECT_STREQ(line, "c");
    line[0] = '?';
    EXPECT_EQ(ReadLine(&f, line, sizeof line), 0);
    EXPECT_EQ(line[0], '?');  // untouched at the end of the file

    CMemFile g = FileOf("abcdef\nX");
    EXPECT_EQ(ReadLine(&g, line, sizeof line), 1);
    EXPECT_STREQ(line, "abc");
    EXPECT_EQ(ReadLine(&g, line, sizeof line), 1);
    EXPECT_STREQ(line, "X");
    EXPECT_EQ(ReadLine(nullptr, line, sizeof line), 0);
}
