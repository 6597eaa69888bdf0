#include "persist/File.h"

#include <gtest/gtest.h>

#include <cstdio>
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

TEST(CDiskFile, BinaryCreateTruncatesWriteKeepsTheRestAndRefusals) {
    const std::string path = testing::TempDir() + "qv_file_test.bin";
    {
        CDiskFile f;
        ASSERT_EQ(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite), 1);
        f.Write("a\r\nb\n\x1a\0c89", 10);  // CR LF, LF, Ctrl-Z and NUL pass unchanged
        EXPECT_EQ(f.GetPosition(), 10u);
        EXPECT_EQ(f.Close(), 1);
        ASSERT_EQ(f.Open(path.c_str(), CFile::modeWrite), 1);
        f.Write("AB", 2);
    }  // the destructor closes
    CDiskFile f;
    ASSERT_EQ(f.Open(path.c_str(), CFile::modeRead | CFile::typeBinary), 1);
    EXPECT_EQ(f.GetLength(), 10u);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 10u);
    EXPECT_EQ(std::string(buf, 10), std::string("AB\nb\n\x1a\0c89", 10));
    EXPECT_EQ(f.Seek(3, CFile::begin), 3u);
    EXPECT_EQ(f.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], 'b');
    EXPECT_EQ(f.Seek(-1, CFile::end), 9u);
    EXPECT_EQ(f.GetPosition(), 9u);
    f.Close();
    ASSERT_EQ(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite), 1);
    EXPECT_EQ(f.GetLength(), 0u);
    f.Close();

    EXPECT_EQ(f.Open("no-such-dir/none.cfg", CFile::modeRead), 0);
    EXPECT_EQ(f.Open("no-such-dir/none.cfg", CFile::modeCreate | CFile::modeWrite), 0);
    EXPECT_EQ(f.Open(nullptr, CFile::modeRead), 0);
    EXPECT_EQ(f.Open(path.c_str(), CFile::modeCreate), 0);
    EXPECT_FALSE(f.IsOpen());
    // A file that is not open reads nothing and moves nowhere.
    EXPECT_EQ(f.Read(buf, 1), 0u);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(f.Seek(5, CFile::begin), 0u);
    EXPECT_EQ(f.Close(), 1);
    // A failed write is reported by the next Close.
    ASSERT_EQ(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite), 1);
    f.Write(nullptr, 4);
    EXPECT_EQ(f.Close(), 0);
    std::remove(path.c_str());
}
