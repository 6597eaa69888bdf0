// The key-value readers with a problem list: what they report, by line, and how far they
// read past a fault.
#include <gtest/gtest.h>

#include <string>

#include "persist/KeyValue.h"

namespace {

struct Reading {
    explicit Reading(const std::string& text) : file(text.data(), static_cast<UINT>(text.size())) {
        problems.IndexLines(file);
        problems.SetKnownKeys({"Alias", "Number Of Items", "TagName", "UpdateRate"});
        file.SetReadProblems(&problems);
    }
    CMemFile file;
    CReadProblems problems;
};

TEST(ReadProblems, ReportsEachFaultByLineAndReadsPastWhatTheFormatAllows) {
    Reading r(
        "UpdateRate = fast\r\n"    // 1: not a number
        "garbage line\r\n"         // 2: unknown, read over
        "\r\n"                     // 3: blank, read over silently
        "  alias = B\r\n"          // 4: case and blanks: taken as Alias
        "Number Of Items = 2\r\n"  // 5
        "TagName = T1\r\n"         // 6
        "UpdateRate = 500\r\n");   // 7: where the second TagName was expected
    int rate = 1000, count = 0;
    CString alias, tag;
    EXPECT_TRUE(ReadIntEntry(&r.file, "UpdateRate", &rate));
    EXPECT_EQ(rate, 1000);
    EXPECT_TRUE(ReadStringEntry(&r.file, "Alias", &alias));
    EXPECT_STREQ(alias, "B");
    EXPECT_TRUE(ReadIntEntry(&r.file, "Number Of Items", &count));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(ReadStringEntry(&r.file, "TagName", &tag));
    EXPECT_FALSE(ReadStringEntry(&r.file, "TagName", &tag));  // a known key: left for its reader
    EXPECT_TRUE(ReadIntEntry(&r.file, "UpdateRate", &rate));
    EXPECT_EQ(rate, 500);
    EXPECT_FALSE(ReadStringEntry(&r.file, "TagName", &tag));  // the end of the file

    std::string items;
    for (const CReadProblem& p : r.problems.Items())
        items += std::to_string(p.line) + " " + static_cast<const char*>(p.text) + "|";
    EXPECT_EQ(items,
              "1 \"fast\" is not a number|2 \"garbage line\" skipped|4 \"  alias = B\" read as \"Alias\"|7 expected "
              "\"TagName\", found \"UpdateRate = 500\"|8 "
              "expected \"TagName\", found the end of the file|");
    EXPECT_FALSE(r.problems.IsClean());
    EXPECT_STREQ(r.problems.NoticeText(2),
                 "Configuration: lines skipped or repaired: 1 (\"fast\" is not a number), 2 (\"garbage line\" "
                 "skipped) and 3 more");
}

TEST(ReadProblems, ACleanFileReportsNothingAndBlankLinesAtTheEndAreNoFault) {
    Reading r("Alias = A\nNumber Of Items = 1\nTagName = X\n\n  \n");
    CString alias, tag;
    int count = 0;
    EXPECT_TRUE(ReadStringEntry(&r.file, "Alias", &alias));
    EXPECT_TRUE(ReadIntEntry(&r.file, "Number Of Items", &count));
    EXPECT_TRUE(ReadStringEntry(&r.file, "TagName", &tag));
    EXPECT_TRUE(SkipBlankLinesToEnd(&r.file));
    EXPECT_TRUE(r.problems.IsClean());
    EXPECT_STREQ(r.problems.NoticeText(), "");
    EXPECT_EQ(r.problems.LineCount(), 5);
}

}  // namespace
