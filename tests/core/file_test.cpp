#include "persist/File.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(CMemFile, WritesGrowsAndReadsBack) {
    CMemFile f;
    f.Write("hello", 5);
    f.Write(" world", 6);
    EXPECT_EQ(f.GetLength(), 11u);
    EXPECT_EQ(f.GetPosition(), 11u);
    EXPECT_EQ(f.Seek(6, CFile::begin), 6u);
    f.Write("W", 1);  // overwrites in place
    EXPECT_EQ(f.Seek(0, CFile::begin), 0u);
    char buf[32] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 11u);
    EXPECT_STREQ(buf, "hello World");
    EXPECT_EQ(f.Read(buf, 1), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.GetData()), 11), "hello World");
    EXPECT_EQ(f.Close(), 1);
    EXPECT_EQ(f.GetLength(), 11u);  // still readable after Close
}

TEST(CMemFile, SeeksOnlyWithinTheData) {
    CMemFile f("abcdef", 6);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(f.Seek(2, CFile::current), 2u);
    EXPECT_EQ(f.Seek(-1, CFile::end), 5u);
    EXPECT_EQ(f.Seek(0, CFile::end), 6u);
    EXPECT_EQ(f.Seek(1, CFile::end), 6u);   // refused: past the end
    EXPECT_EQ(f.Seek(-7, CFile::end), 6u);  // refused: before the start
    EXPECT_EQ(f.Seek(-9223372036854775807LL - 1, CFile::current), 6u);
    EXPECT_EQ(f.Seek(9223372036854775807LL, CFile::begin), 6u);
    EXPECT_EQ(f.Seek(0, 7), 6u);  // unknown origin
    char c;
    EXPECT_EQ(f.Read(&c, 1), 0u);
    EXPECT_EQ(f.Read(nullptr, 1), 0u);
}

TEST(CMemFile, RefusesGrowthBeyondItsLimitAndSaysSoOnClose) {
    CMemFile f;
    f.Write("x", 1);
    EXPECT_EQ(f.Close(), 1);
    char small[4] = {};
    f.Write(small, 0xFFFFFFFFu);  // refused before a byte of small is read
    EXPECT_EQ(f.GetLength(), 1u);
    EXPECT_EQ(f.Close(), 0);
    CMemFile g;
    g.Write(nullptr, 3);
    EXPECT_EQ(g.GetLength(), 0u);
    EXPECT_EQ(g.Close(), 0);
}

class CDiskFileTest : public ::testing::Test {
  protected:
    void TearDown() override { std::remove(m_path); }
    const char* m_path = "file_test.bin";
};

TEST_F(CDiskFileTest, WritesReadsAndSeeksWithoutTextTranslation) {
    {
        CDiskFile f;
        ASSERT_EQ(f.Open(m_path, CFile::modeCreate | CFile::modeWrite), 1);
        f.Write("a\r\nb\n\x1a\0c", 8);  // CR LF, LF, Ctrl-Z and NUL pass unchanged
        EXPECT_EQ(f.GetPosition(), 8u);
        EXPECT_EQ(f.Close(), 1);
    }
    CDiskFile f;
    ASSERT_EQ(f.Open(m_path, CFile::modeRead | CFile::typeBinary), 1);
    EXPECT_EQ(f.GetLength(), 8u);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 8u);
    EXPECT_EQ(std::string(buf, 8), std::string("a\r\nb\n\x1a\0c", 8));
    EXPECT_EQ(f.Seek(3, CFile::begin), 3u);
    EXPECT_EQ(f.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], 'b');
    EXPECT_EQ(f.Seek(-1, CFile::end), 7u);
    EXPECT_EQ(f.GetPosition(), 7u);
}

TEST_F(CDiskFileTest, CreateTruncatesAndWriteKeepsTheRest) {
    {
        CDiskFile f;
        ASSERT_EQ(f.Open(m_path, CFile::modeCreate | CFile::modeWrite), 1);
        f.Write("0123456789", 10);
    }  // the destructor closes
    {
        CDiskFile f;
        ASSERT_EQ(f.Open(m_path, CFile::modeWrite), 1);
        f.Write("ab", 2);
    }
    CDiskFile f;
    ASSERT_EQ(f.Open(m_path, CFile::modeRead), 1);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, sizeof buf), 10u);
    EXPECT_STREQ(buf, "ab23456789");
    f.Close();
    ASSERT_EQ(f.Open(m_path, CFile::modeCreate | CFile::modeWrite), 1);
    EXPECT_EQ(f.GetLength(), 0u);
}

TEST_F(CDiskFileTest, RefusesMissingFilesAndUnknownModes) {
    CDiskFile f;
    EXPECT_EQ(f.Open("no-such-dir/none.cfg", CFile::modeRead), 0);
    EXPECT_EQ(f.Open("no-such-dir/none.cfg", CFile::modeCreate | CFile::modeWrite), 0);
    EXPECT_EQ(f.Open(nullptr, CFile::modeRead), 0);
    EXPECT_EQ(f.Open(m_path, CFile::modeCreate), 0);
    EXPECT_FALSE(f.IsOpen());
    // A file that is not open reads nothing and moves nowhere.
    char c;
    EXPECT_EQ(f.Read(&c, 1), 0u);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(f.Seek(5, CFile::begin), 0u);
    EXPECT_EQ(f.Close(), 1);
    // A write to a file that is not open is a failure the next Close reports.
    ASSERT_EQ(f.Open(m_path, CFile::modeCreate | CFile::modeWrite), 1);
    f.Write(nullptr, 4);
    EXPECT_EQ(f.Close(), 0);
}
