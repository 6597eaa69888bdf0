// The 8-bit <-> UTF-16 text helpers, in both builds. The cases use characters on which
// Windows-1252 (the ANSI code page under Wine's en-US) and Latin-1 (the host) agree.
#include <gtest/gtest.h>

#include <string>

#include "variant/holder.h"
#include "variant/text.h"

namespace {

TEST(TextHelpers, OneCodeUnitPerByteBothWaysNulsKept) {
    std::string bytes;
    for (int c = 0; c < 0x80; ++c) bytes += static_cast<char>(c);
    for (int c = 0xA0; c < 0x100; ++c) bytes += static_cast<char>(c);
    CVariant v;
    v->vt = VT_BSTR;
    v->bstrVal = BstrFromAnsi(bytes.data(), bytes.size());
    ASSERT_NE(nullptr, v->bstrVal);
    ASSERT_EQ(bytes.size(), SysStringLen(v->bstrVal));
    EXPECT_EQ(0, v->bstrVal[bytes.size()]);
    for (size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[i]), static_cast<unsigned>(v->bstrVal[i])) << i;
    EXPECT_EQ(bytes, AnsiFromWide(v->bstrVal, SysStringLen(v->bstrVal)));
    EXPECT_EQ(bytes.substr(0, 3), AnsiFromWide(v->bstrVal, 3));

    v.Reset()->vt = VT_BSTR;
    v->bstrVal = BstrFromAnsi("", 0);
    ASSERT_NE(nullptr, v->bstrVal);
    EXPECT_EQ(0u, SysStringLen(v->bstrVal));
    EXPECT_EQ("", AnsiFromWide(v->bstrVal, 0));
    EXPECT_EQ("", AnsiFromWide(nullptr, 0));
}

TEST(TextHelpers, UnrepresentableCharactersBecomeQuestionMarks) {
    // A CJK character, a surrogate pair (one '?' per code unit), a letter that only has a
    // look-alike in the code page.
    static const OLECHAR kText[] = {'A', 0x4E2D, 0xD83D, 0xDE00, 0x0141, 'B'};
    EXPECT_EQ("A????B", AnsiFromWide(kText, 6));
}

}  // namespace
