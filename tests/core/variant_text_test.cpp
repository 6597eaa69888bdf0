// The 8-bit <-> UTF-16 text helpers, in both builds. The cases use characters on which
// Windows-1252 (the ANSI code page under Wine's en-US) and Latin-1 (the host) agree.
#include <gtest/gtest.h>

#include <string>

#include "variant/holder.h"
#include "variant/text.h"

namespace {

TEST(AnsiFromWide, KeepsAsciiAndLatinLetters) {
    EXPECT_EQ("Running", AnsiFromWide(OLESTR("Running"), 7));
    static const OLECHAR kCafe[] = {'c', 'a', 'f', 0x00E9};
    EXPECT_EQ("caf\xE9", AnsiFromWide(kCafe, 4));
    static const OLECHAR kHigh[] = {0x00A0, 0x00FF};
    EXPECT_EQ("\xA0\xFF", AnsiFromWide(kHigh, 2));
}

TEST(AnsiFromWide, UnrepresentableCharactersBecomeQuestionMarks) {
    // A CJK character, a surrogate pair (one '?' per code unit), a letter that only has a
    // look-alike in the code page.
    static const OLECHAR kText[] = {'A', 0x4E2D, 0xD83D, 0xDE00, 0x0141, 'B'};
    EXPECT_EQ("A????B", AnsiFromWide(kText, 6));
}

TEST(AnsiFromWide, TakesExactlyTheGivenLength) {
    static const OLECHAR kWithNul[] = {'a', 0, 'b', 'c'};
    EXPECT_EQ(std::string("a\0b", 3), AnsiFromWide(kWithNul, 3));
    EXPECT_EQ("", AnsiFromWide(kWithNul, 0));
    EXPECT_EQ("", AnsiFromWide(nullptr, 0));
}

TEST(BstrFromAnsi, OneCodeUnitPerByte) {
    const char text[] = "ab\0\xE9";
    BSTR s = BstrFromAnsi(text, 4);
    ASSERT_NE(nullptr, s);
    ASSERT_EQ(4u, SysStringLen(s));
    EXPECT_EQ('a', s[0]);
    EXPECT_EQ('b', s[1]);
    EXPECT_EQ(0, s[2]);
    EXPECT_EQ(0x00E9, s[3]);
    EXPECT_EQ(0, s[4]);
    SysFreeString(s);
}

TEST(BstrFromAnsi, EmptyTextGivesAnEmptyString) {
    BSTR s = BstrFromAnsi("", 0);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(0u, SysStringLen(s));
    SysFreeString(s);
}

TEST(TextHelpers, RoundTripOfEveryAgreedByte) {
    std::string bytes;
    for (int c = 1; c < 0x80; ++c) bytes += static_cast<char>(c);
    for (int c = 0xA0; c < 0x100; ++c) bytes += static_cast<char>(c);
    CVariant v;
    v->vt = VT_BSTR;
    v->bstrVal = BstrFromAnsi(bytes.data(), bytes.size());
    ASSERT_NE(nullptr, v->bstrVal);
    ASSERT_EQ(bytes.size(), SysStringLen(v->bstrVal));
    for (size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[i]), static_cast<unsigned>(v->bstrVal[i])) << i;
    EXPECT_EQ(bytes, AnsiFromWide(v->bstrVal, SysStringLen(v->bstrVal)));
}

}  // namespace
