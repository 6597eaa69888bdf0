#include "win/CString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CString, ConstructsFromTextCountedTextAndCharacter) {
  EXPECT_STREQ(CString("abc"), "abc");
  EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
  EXPECT_STREQ(CString("abcdef", 3), "abc");
  EXPECT_TRUE(CString("abc", -1).IsEmpty());
  EXPECT_STREQ(CString('x', 3), "xxx");
  EXPECT_STREQ(CString('x'), "x");
  EXPECT_TRUE(CString('x', 0).IsEmpty());

  CString withNul("a\0b", 3);
  EXPECT_EQ(withNul.GetLength(), 3);
  EXPECT_EQ(std::strlen(withNul), 1u);  // the C-string view ends at the NUL
}

TEST(CString, LengthEmptyAndIndexing) {
  CString s("Quorvane");
  EXPECT_EQ(s.GetLength(), 8);
  EXPECT_FALSE(s.IsEmpty());
  EXPECT_EQ(s.GetAt(0), 'Q');
  EXPECT_EQ(s[7], 'e');
  // Outside the text: 0, never a read past the end.
  EXPECT_EQ(s.GetAt(8), '\0');
  EXPECT_EQ(s.GetAt(-1), '\0');
  EXPECT_EQ(s[1000], '\0');
  s.SetAt(0, 'q');
  s.SetAt(100, 'z');  // ignored
  EXPECT_STREQ(s, "quorvane");
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.GetLength(), 0);
}

TEST(CString, ConcatenatesAndCompares) {
  CString s("ab");
  s += "cd";
  s += 'e';
  s += CString("f");
  s += static_cast<const char*>(nullptr);
  EXPECT_STREQ(s, "abcdef");
  EXPECT_STREQ("=Quorvane|" + CString("Topic") + "!" + CString("Item") + '.', "=Quorvane|Topic!Item.");
  EXPECT_STREQ('<' + CString("x"), "<x");

  EXPECT_TRUE(CString("abc") == "abc");
  EXPECT_TRUE("abc" == CString("abc"));
  EXPECT_TRUE(CString("abc") == CString("abc"));
  EXPECT_TRUE(CString("abc") != "abd");
  EXPECT_TRUE("abd" != CString("abc"));
  EXPECT_TRUE(CString("abc") != CString("ab"));
  EXPECT_TRUE(CString("abc") < CString("abd"));
  EXPECT_FALSE(CString("abd") < CString("abc"));
  EXPECT_TRUE(CString("ab") < CString("abc"));
  EXPECT_LT(CString("abc").Compare("abd"), 0);
  EXPECT_EQ(CString("abc").Compare("abc"), 0);
  EXPECT_GT(CString("b").Compare("a"), 0);
}

TEST(CString, CompareNoCaseIgnoresOnlyAsciiCase) {
  EXPECT_EQ(CString("Group 1").CompareNoCase("GROUP 1"), 0);
  EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
  EXPECT_GT(CString("abcd").CompareNoCase("ABC"), 0);
  EXPECT_LT(CString("abc").CompareNoCase("abcd"), 0);
  EXPECT_NE(CString("\xe4").CompareNoCase("\xc4"), 0);
  EXPECT_EQ(CString("").CompareNoCase(nullptr), 0);
}

TEST(CString, FormatsAnyLength) {
  CString s;
  s.Format("%s = %d", "Number Of Items", -12);
  EXPECT_STREQ(s, "Number Of Items = -12");
  s.Format("%9.4f|%5.2f|%ld", 3.14159, 0.0, -1234L);
  EXPECT_STREQ(s, "   3.1416| 0.00|-1234");
  std::string big(5000, 'x');
  s.Format("[%s]", big.c_str());
  EXPECT_EQ(s.GetLength(), 5002);
  EXPECT_EQ(s.Left(3), CString("[xx"));
  EXPECT_EQ(s.Right(2), CString("x]"));
  s.Format("%s", "");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, LeftMidRightClampToTheText) {
  CString s("Connected");
  EXPECT_STREQ(s.Left(4), "Conn");
  EXPECT_STREQ(s.Left(100), "Connected");
  EXPECT_STREQ(s.Left(-1), "");
  EXPECT_STREQ(s.Mid(3), "nected");
  EXPECT_STREQ(s.Mid(3, 2), "ne");
  EXPECT_STREQ(s.Mid(7, 100), "ed");
  EXPECT_STREQ(s.Mid(100), "");
  EXPECT_STREQ(s.Mid(-5, 3), "Con");
  EXPECT_STREQ(s.Mid(2, -1), "");
  EXPECT_STREQ(s.Right(3), "ted");
  EXPECT_STREQ(s.Right(100), "Connected");
  EXPECT_STREQ(s.Right(0), "");
}

TEST(CString, FindsForwardAndBackward) {
  CString s("a=b=c");
  EXPECT_EQ(s.Find('='), 1);
  EXPECT_EQ(s.Find('=', 2), 3);
  EXPECT_EQ(s.Find('=', 4), -1);
  EXPECT_EQ(s.Find('=', 99), -1);
  EXPECT_EQ(s.Find('=', -3), 1);
  EXPECT_EQ(s.Find('x'), -1);
  EXPECT_EQ(s.Find("b=c"), 2);
  EXPECT_EQ(s.Find("=", 2), 3);
  EXPECT_EQ(s.Find("c", 5), -1);
  EXPECT_EQ(s.Find(""), 0);
  EXPECT_EQ(s.Find(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(s.ReverseFind('='), 3);
  EXPECT_EQ(s.ReverseFind('x'), -1);
  EXPECT_EQ(CString("C:\\dir\\quorvane.exe").ReverseFind('\\'), 6);
}

TEST(CString, TrimsAndChangesCase) {
  CString s(" \t Alias 1 \r\n");
  s.TrimLeft();
  EXPECT_STREQ(s, "Alias 1 \r\n");
  s.TrimRight();
  EXPECT_STREQ(s, "Alias 1");
  CString blanks("    ");
  blanks.Trim();
  EXPECT_TRUE(blanks.IsEmpty());
  CString zeros("0012300");
  zeros.TrimLeft('0');
  zeros.TrimRight('0');
  EXPECT_STREQ(zeros, "123");

  CString m("Mixed Case 42 \xe4");
  m.MakeUpper();
  EXPECT_STREQ(m, "MIXED CASE 42 \xe4");
  m.MakeLower();
  EXPECT_STREQ(m, "mixed case 42 \xe4");
}

TEST(CString, BufferForCApis) {
  CString s("old");
  char* p = s.GetBuffer(10);
  std::strcpy(p, "0123456789");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 10);
  EXPECT_STREQ(s, "0123456789");

  p = s.GetBuffer(4);  // shorter request: the text keeps its room
  p[2] = '\0';
  s.ReleaseBuffer();
  EXPECT_STREQ(s, "01");

  s.GetBuffer(5);
  s.ReleaseBuffer(3);
  EXPECT_EQ(s.GetLength(), 3);
  s.ReleaseBuffer(1000);  // clamped to the room there is
  EXPECT_EQ(s.GetLength(), 3);
}

TEST(CString, AssignsTextCharacterAndItself) {
  CString s;
  s = "abc";
  EXPECT_STREQ(s, "abc");
  s = static_cast<const char*>(s);
  EXPECT_STREQ(s, "abc");
  s = 'z';
  EXPECT_STREQ(s, "z");
  s = static_cast<const char*>(nullptr);
  EXPECT_TRUE(s.IsEmpty());
}
