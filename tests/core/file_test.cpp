#include "persist/File.h"

#include <gtest/gtest.h>

#include <string>

TEST(CMemFile, WritesGrowsReadsBackAndSeeksOnlyWithinTheData) {
    CMemFile f;
    f.Write("hello", 5);
    f.Write(" world", 6);
    EXPECT_EQ(f.GetLength(), 11u);
    EXPECT_EQ(f.GetPosition(), 11u);
    EXPECT_EQ(f.Seek(6, CFile::begin), 6u);
    f.Write("W", 1);  // overwrites in place
    EXPECT_EQ(f.Seek(-7, CFile::current), 0u);
    char buf[32] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 11u);
    EXPECT_STREQ(buf, "hello World");
    EXPECT_EQ(f.Read(buf, 1), 0u);
    EXPECT_EQ(f.Close(), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.GetData()), 11), "hello World");  // readable after Close

    CMemFile g("abcdef", 6);
    EXPECT_EQ(g.GetPosition(), 0u);
    EXPECT_EQ(g.Seek(-1, CFile::end), 5u);
    EXPECT_EQ(g.Seek(0, CFile::end), 6u);
    EXPECT_EQ(g.Seek(1, CFile::end), 6u);   // refused: past the end
    EXPECT_EQ(g.Seek(-7, CFile::end), 6u);  // refused: before the start
    EXPECT_EQ(g.Seek(-9223372036854775807LL - 1, CFile::current), 6u);
    EXPECT_EQ(g.Seek(9223372036854775807LL, CFile::begin), 6u);
    EXPECT_EQ(g.Seek(0, 7), 6u);  // unknown origin
    EXPECT_EQ(g.Read(buf, 1), 0u);
    EXPECT_EQ(g.Seek(0, CFile::begin), 0u);
    EXPECT_EQ(g.Read(nullptr, 1), 0u);
}

TEST(CMemFile, RefusesGrowthBeyondItsLimitAndSaysSoOnClose) {
    CMemFile f;
    f.Write("x", 1);
    char small[4] = {};
    f.Write(small, 0xFFFFFFFFu);  // refused before a byte of small is read
    EXPECT_EQ(f.GetLength(), 1u);
    EXPECT_EQ(f.Close(), 0);
    CMemFile g;
    g.Write(nullptr, 3);
    EXPECT_EQ(g.GetLength(), 0u);
    EXPECT_EQ(g.Close(), 0);
}
