#include "win/CString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Out-of-range arguments are clamped or answered with 0, never read past the text.
TEST(CString, BoundsAreClampedEverywhere) {
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
    EXPECT_TRUE(CString("abc", -1).IsEmpty());
    EXPECT_STREQ(CString('x', 3), "xxx");
    CString withNul("a\0b", 3);
    EXPECT_EQ(withNul.GetLength(), 3);
    EXPECT_EQ(std::strlen(withNul), 1u);

    CString s("Connected");
    EXPECT_EQ(s.GetAt(9), '\0');
    EXPECT_EQ(s[-1], '\0');
    EXPECT_STREQ(s.Left(100), "Connected");
    EXPECT_STREQ(s.Left(-1), "");
    EXPECT_STREQ(s.Mid(7, 100), "ed");
    EXPECT_STREQ(s.Mid(100), "");
    EXPECT_STREQ(s.Mid(-5, 3), "Con");
    EXPECT_STREQ(s.Mid(2, -1), "");
    EXPECT_EQ(s.Find('e', 99), -1);
    EXPECT_EQ(s.Find('C', -3), 0);
    EXPECT_EQ(s.Find(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(s.Find("ted", 6), 6);
    EXPECT_EQ(CString("C:\\dir\\quorvane.exe").ReverseFind('\\'), 6);
}

TEST(CString, ConcatenatesComparesAndFormatsAnyLength) {
    CString s("ab");
    s += static_cast<const char*>(nullptr);
    s += 'c';
    EXPECT_STREQ("=Quorvane|" + s + "!" + CString("Item") + '.', "=Quorvane|abc!Item.");
    EXPECT_TRUE(CString("ab") < CString("abc"));
    EXPECT_TRUE("abd" != CString("abc"));

    std::string big(5000, 'x');
    s.Format("[%s]", big.c_str());
    EXPECT_EQ(s.GetLength(), 5002);
    s.Format("%9.4f|%ld", 3.14159, -1234L);
    EXPECT_STREQ(s, "   3.1416|-1234");
    s = static_cast<const char*>(s);
    EXPECT_STREQ(s, "   3.1416|-1234");
}

TEST(CString, BufferForCApis) {
    CString s("old");
    std::strcpy(s.GetBuffer(10), "0123456789");
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "0123456789");
    s.GetBuffer(4)[2] = '\0';  // a shorter request keeps the room
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "01");
    s.GetBuffer(5);
    s.ReleaseBuffer(1000);  // clamped to the room there is
    EXPECT_EQ(s.GetLength(), 5);
}
