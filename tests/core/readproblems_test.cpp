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

    const auto& items = r.problems.Items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].line, 1);
    EXPECT_STREQ(items[0].text, "\"fast\" is not a number");
    EXPECT_EQ(items[1].line, 2);
    EXPECT_STREQ(items[1].text, "\"garbage line\" skipped");
    EXPECT_EQ(items[2].line, 4);
    EXPECT_STREQ(items[2].text, "\"  alias = B\" read as \"Alias\"");
    EXPECT_EQ(items[3].line, 7);
    EXPECT_EQ(items[4].line, 8);
    EXPECT_STREQ(items[4].text, "expected \"TagName\", found the end of the file");
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
