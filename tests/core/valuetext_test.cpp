#include "ui/ValueText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/values.h"

namespace {

std::string Shown(const VARIANT& v) { return static_cast<const char*>(FormatVariant(v)); }

std::string ShownText(const OLECHAR* text, UINT length) {
    CVariant v;
    return Shown(SetText(v, text, length));
}

TEST(FormatVariant, EachTypesNotation) {
    const struct {
        VARTYPE vt;
        long long bits;
        double d;
        const char* text;
    } cases[] = {
        {VT_I2, -5, 0, "-5 "},
        {VT_UI2, 65535, 0, "65535 "},
        {VT_I4, -1234, 0, "-1234 "},
        {VT_UI1, 255, 0, "255 "},
        {VT_I1, -1, 0, "255 "},          // shown unsigned
        {VT_UI4, 0xFFFFFFFF, 0, "-1 "},  // shown signed
        {VT_UINT, 0xFFFFFFFF, 0, "-1 "},
        {VT_INT, 0x80000000, 0, "-2147483648 "},
        {VT_BOOL, 0xFFFF, 0, "TRUE"},
        {VT_BOOL, 1, 0, "TRUE"},
        {VT_BOOL, 0, 0, "FALSE"},
        {VT_R4, 0, 123.456f, "123.46 "},
        {VT_R4, 0, 0, " 0.00 "},
        {VT_R8, 0, 3.14159, "   3.1416 "},
        {VT_R8, 0, 1234.5678, "1234.5678 "},
        {VT_R8, 0, -0.5, "  -0.5000 "},
        // Types without a notation show their code, modifier bits included: a reference
        // (here a null one) is never followed.
        {VT_EMPTY, 0, 0, " unknown type:0 "},
        {VT_DATE, 0, 45306.5, " unknown type:7 "},
        {VT_I8, 5, 0, " unknown type:20 "},
        {VT_I2 | VT_BYREF, 0, 0, " unknown type:16386 "},
        {VT_ARRAY | VT_R4, 0, 0, " unknown type:8196 "},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, Shown(Raw(c.vt, c.bits, c.d))) << c.vt << " " << c.bits << " " << c.d;
}

TEST(FormatVariant, TextsEndAtANulAndAllIsCutToTheValueBuffer) {
    EXPECT_EQ(ShownText(OLESTR("Running"), 7), "Running ");
    EXPECT_EQ(ShownText(OLESTR(""), 0), " ");
    EXPECT_EQ(ShownText(nullptr, 0), " ");  // a null string shows as the empty text
    EXPECT_EQ(ShownText(OLESTR("ab\0cd"), 5), "ab ");
    std::vector<OLECHAR> longText(200, OLECHAR('z'));
    EXPECT_EQ(ShownText(longText.data(), 200), std::string(79, 'z'));
    EXPECT_EQ(ShownText(longText.data(), 78), std::string(78, 'z') + " ");  // 78 and the blank still fit
    std::string huge = Shown(Raw(VT_R8, 0, 1e300));
    EXPECT_EQ(huge.size(), 79u);
    EXPECT_EQ(huge.substr(0, 2), "10");
}

TEST(QualityText, OnlyThePlainQualitiesAreGoodOrBad) {
    EXPECT_STREQ(QualityText(0xC0), "Good");
    EXPECT_STREQ(QualityText(0x00), "Bad");
    for (DWORD q : {0x40u, 0xD8u, 0x04u, 0x18u, 0xC1u, 0x100C0u, 0xFFFFFFFFu})
        EXPECT_STREQ(QualityText(q), "Uncertain") << q;
}

}  // namespace
