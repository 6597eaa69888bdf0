// CF_TEXT values both ways, the code-page rules of the 8-bit conversion and the item-id
// check. Both builds; the locale case runs where a decimal-comma locale exists (Wine).
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <limits>
#include <string>

#include "dde/TextValue.h"
#include "persist/ItemId.h"
#include "persist/KeyValue.h"
#include "tests/core/values.h"
#include "variant/text.h"

namespace {

// The CF_TEXT of v, without its checked zero byte.
std::string Shown(const VARIANT& v) {
    std::string text;
    if (!FormatTextValue(v, &text)) return "<none>";
    EXPECT_EQ(text.find('\0'), text.size() - 1) << "one zero byte, at the end";
    return text.substr(0, text.size() - 1);
}
std::string Shown(VARTYPE vt, double d) { return Shown(Raw(vt, 0, d)); }

// The poke decoded into target, as "<vt>:<its text>", or "<refused>".
std::string Poked(const std::string& text, VARTYPE target, UINT size = 0) {
    CVariant v;
    if (!DecodeTextPoke(reinterpret_cast<const BYTE*>(text.c_str()), size ? size : UINT(text.size() + 1), target,
                        v.Get()))
        return "<refused>";
    std::string shown;
    FormatTextValue(*v, &shown);
    return std::to_string(v->vt) + ":" + shown.c_str();
}

TEST(TextValue, FormatsEveryTypeWithoutTheLocale) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        VARTYPE vt;
        double d;
        const char* text;
    } cases[] = {
        {VT_R8, 1234.5678, "1234.5678"},
        {VT_R8, 1.0 / 3, "0.333333333333333"},
        {VT_R8, 123456789012345.6, "123456789012346"},
        {VT_R8, 1e15, "1e+15"},
        {VT_R8, -1.5e-300, "-1.5e-300"},
        {VT_R8, -0.0, "0"},
        {VT_R8, -inf, "<none>"},
        {VT_R8, std::numeric_limits<double>::quiet_NaN(), "<none>"},
        {VT_R4, 0.1, "0.1"},
        {VT_DATE, 45306.5, "2024-01-15 12:00:00"},
        {VT_DATE, -1.25, "1899-12-29 06:00:00"},  // fraction counts forward
        {VT_DATE, -36522.75, "1800-01-01 18:00:00"},
        {VT_DATE, 2 - 0.4 / 86400, "1900-01-01 00:00:00"},
        {VT_DATE, -657434, "0100-01-01 00:00:00"},
        {VT_DATE, 2958465.99999, "9999-12-31 23:59:59"},
        {VT_DATE, 2958466, "<none>"},
        {VT_DATE, -657435, "<none>"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, Shown(c.vt, c.d)) << c.vt << " " << c.d;
    EXPECT_EQ("4000000000", Shown(Raw(VT_UI4, 4000000000LL)));
    EXPECT_EQ("TRUE", Shown(Raw(VT_BOOL, VARIANT_TRUE)));
    EXPECT_EQ("FALSE", Shown(Raw(VT_BOOL, VARIANT_FALSE)));
    EXPECT_EQ("-0.5", Shown(Raw(VT_CY, -5000)));
    EXPECT_EQ("12.3456", Shown(Raw(VT_CY, 123456)));
    EXPECT_EQ("-922337203685477.5808", Shown(Raw(VT_CY, std::numeric_limits<LONGLONG>::min())));  // exact
    EXPECT_EQ("", Shown(Raw(VT_EMPTY, 0)));
    static const OLECHAR kText[] = {'a', 0x00E9, 0, 'b'};
    CVariant v;
    EXPECT_EQ("a\xE9", Shown(SetText(v, kText, 4)));  // cut at the embedded NUL
}

TEST(TextValue, PokesConvertToTheItemsTypeOrAreRefused) {
    const struct {
        const char* text;
        VARTYPE target;
        const char* result;
    } cases[] = {
        {" -1e-3\r\n", VT_R8, "5:-0.001"},
        {"1e-300", VT_R8, "5:1e-300"},
        {"+12", VT_I4, "3:12"},
        {"12.3456", VT_CY, "6:12.3456"},
        {"true", VT_BOOL, "11:TRUE"},
        {"0", VT_BOOL, "11:FALSE"},
        {"1850-06-01 18:00", VT_DATE, "7:1850-06-01 18:00:00"},
        {"4,5 x", VT_BSTR, "8:4,5 x"},
        {"7", VT_EMPTY, "5:7"},
        {"TRUE", VT_EMPTY, "11:TRUE"},
        {"abc", VT_EMPTY, "8:abc"},  // no value yet: own kind
        {"", VT_R8, "<refused>"},
        {"4,5", VT_R8, "<refused>"},
        {"12abc", VT_R8, "<refused>"},
        {"0x10", VT_R8, "<refused>"},
        {"nan", VT_R8, "<refused>"},
        {"inf", VT_R8, "<refused>"},
        {"1e400", VT_R8, "<refused>"},
        {"+-1", VT_R8, "<refused>"},
        {"300", VT_UI1, "<refused>"},
        {"yes", VT_BOOL, "<refused>"},
        {"2024-02-30", VT_DATE, "<refused>"},
        {"2024-01-15 24:00", VT_DATE, "<refused>"},
        {"99-01-01", VT_DATE, "<refused>"},
        {"45306.5", VT_DATE, "<refused>"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.result, Poked(c.text, c.target)) << c.text;
    // A text is taken whole up to the limit, never cut.
    std::string longText(kTextPokeLimit - 1, 'x');
    EXPECT_EQ(2 + longText.size(), Poked(longText, VT_BSTR).size());
    EXPECT_EQ("<refused>", Poked(longText + 'x', VT_BSTR, kTextPokeLimit));
}

TEST(TextValue, NumbersIgnoreTheLocaleBothWays) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "German_Germany.1252") && !std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma here";
    EXPECT_EQ("5:1234.5", Poked("1234.5", VT_R8));
    EXPECT_EQ("<refused>", Poked("1234,5", VT_R8));
    EXPECT_EQ("1234.5", Shown(VT_R8, 1234.5));
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(WideToAnsiRules, CodePagesThatRefuseFlagsGetNone) {
    for (unsigned cp : {65001u, 54936u, 65000u, 50220u, 50229u, 52936u, 57002u, 57011u, 42u})
        EXPECT_FALSE(WideToAnsiRulesFor(cp).noBestFit || WideToAnsiRulesFor(cp).defaultChar) << cp;
    for (unsigned cp : {1252u, 932u, 936u, 1251u, 57001u, 57012u, 50230u, 437u})
        EXPECT_TRUE(WideToAnsiRulesFor(cp).noBestFit && WideToAnsiRulesFor(cp).defaultChar) << cp;
}

TEST(ItemIdCheck, LinkAndConfigurationLimits) {
    const std::string link(255, 'x'), stored(987, 'x'), tooLong(988, 'x');
    EXPECT_EQ(ItemIdFit::kFits, CheckItemId(link.data(), 255));
    EXPECT_EQ(ItemIdFit::kTooLongForLink, CheckItemId(stored.data(), 256));
    EXPECT_EQ(ItemIdFit::kTooLongForLink, CheckItemId(stored.data(), 987));
    EXPECT_EQ(ItemIdFit::kTooLongForConfig, CheckItemId(tooLong.data(), 988));
    EXPECT_EQ(ItemIdFit::kLineBreak, CheckItemId("a\nb", 3));
    EXPECT_EQ(ItemIdFit::kEmpty, CheckItemId("", 0));
    for (const std::string* id : {&stored, &tooLong}) {  // the limit is the line format's
        CMemFile file;
        WriteStringEntry(&file, "TagName", id->c_str());
        file.Seek(0, CFile::begin);
        CString back;
        ASSERT_TRUE(ReadStringEntry(&file, "TagName", &back));
        EXPECT_EQ(id == &stored, std::string(static_cast<const char*>(back)) == *id) << id->size();
    }
}

}  // namespace
