// CF_TEXT values both ways, the code-page rules of the 8-bit conversion and the item-id
// check. Runs in both builds; the locale case also under Wine's C runtime.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "dde/TextValue.h"
#include "persist/ItemId.h"
#include "persist/KeyValue.h"
#include "variant/holder.h"
#include "variant/text.h"

namespace {

std::string Shown(const VARIANT& v) {
  std::string text;
  if (!FormatTextValue(v, &text)) return "<none>";
  EXPECT_FALSE(text.empty());
  EXPECT_EQ('\0', text.back()) << "not zero-terminated";
  text.pop_back();
  return text;
}

std::string Number(VARTYPE vt, double d) {
  CVariant r8, v;
  r8->vt = VT_R8;
  r8->dblVal = d;
  if (FAILED(VariantChangeType(v.Get(), r8.Get(), 0, vt))) return "<no such value>";
  return Shown(*v);
}

// The poke decoded into target, shown again as CF_TEXT with its type, or "<refused>".
std::string Poked(const char* text, VARTYPE target) {
  CVariant v;
  if (!DecodeTextPoke(reinterpret_cast<const BYTE*>(text), static_cast<UINT>(std::strlen(text) + 1), target, v.Get()))
    return "<refused>";
  return std::to_string(v->vt) + ":" + Shown(*v);
}

TEST(TextValueFormat, NumbersHaveFifteenDigitsAPointAndNoSign0) {
  EXPECT_EQ("1234.5678", Number(VT_R8, 1234.5678));
  EXPECT_EQ("0.1", Number(VT_R8, 0.1));
  EXPECT_EQ("0.333333333333333", Number(VT_R8, 1.0 / 3));
  EXPECT_EQ("123456789012346", Number(VT_R8, 123456789012345.6));
  EXPECT_EQ("1e+15", Number(VT_R8, 1e15));
  EXPECT_EQ("-1.5e-300", Number(VT_R8, -1.5e-300));
  EXPECT_EQ("1.79769313486232e+308", Number(VT_R8, 1.7976931348623157e308));
  EXPECT_EQ("0", Number(VT_R8, -0.0));
  EXPECT_EQ("0.1", Number(VT_R4, 0.1));  // the single's own digits, not its widened double
  EXPECT_EQ("-8", Number(VT_I1, -8));
  EXPECT_EQ("4000000000", Number(VT_UI4, 4e9));
  CVariant nan;
  nan->vt = VT_R8;
  nan->dblVal = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ("<none>", Shown(*nan));
  nan->dblVal = -std::numeric_limits<double>::infinity();
  EXPECT_EQ("<none>", Shown(*nan));
}

TEST(TextValueFormat, OtherTypes) {
  CVariant v;
  v->vt = VT_BOOL;
  v->boolVal = VARIANT_TRUE;
  EXPECT_EQ("TRUE", Shown(*v));
  v->boolVal = VARIANT_FALSE;
  EXPECT_EQ("FALSE", Shown(*v));
  v->vt = VT_CY;
  v->cyVal.int64 = 123456;
  EXPECT_EQ("12.3456", Shown(*v));
  v->cyVal.int64 = -5000;
  EXPECT_EQ("-0.5", Shown(*v));
  v->cyVal.int64 = INT64_MIN;  // beyond 15 digits: shown exactly
  EXPECT_EQ("-922337203685477.5808", Shown(*v));
  v->vt = VT_EMPTY;
  EXPECT_EQ("", Shown(*v));
  v->vt = VT_NULL;
  EXPECT_EQ("<none>", Shown(*v));
  CVariant text;
  static const OLECHAR kText[] = {'a', 0x00E9, 0, 'b'};
  text->vt = VT_BSTR;
  text->bstrVal = SysAllocStringLen(kText, 4);
  EXPECT_EQ("a\xE9", Shown(*text));  // an embedded NUL ends it
}

TEST(TextValueFormat, DatesToTheSecondFromYear100To9999) {
  CVariant v;
  v->vt = VT_DATE;
  const struct {
    double date;
    const char* text;
  } cases[] = {
      {45306.5, "2024-01-15 12:00:00"},
      {0, "1899-12-30 00:00:00"},
      {-1.25, "1899-12-29 06:00:00"},          // before 1899-12-30 the fraction still counts forward
      {-36522.75, "1800-01-01 18:00:00"},
      {2.0 - 0.4 / 86400, "1900-01-01 00:00:00"},  // 23:59:59.6 rounds into the next day
      {1.0 + 0.4 / 86400, "1899-12-31 00:00:00"},
      {-657434, "0100-01-01 00:00:00"},
      {2958465.99999, "9999-12-31 23:59:59"},
      {2958466, "<none>"},
      {-657435, "<none>"},
  };
  for (const auto& c : cases) {
    v->date = c.date;
    EXPECT_EQ(c.text, Shown(*v)) << c.date;
  }
}

TEST(TextValuePoke, ConvertsToTheItemsTypeAndRefusesGarbage) {
  EXPECT_EQ("5:42.5", Poked("42.5", VT_R8));
  EXPECT_EQ("5:-0.001", Poked(" -1e-3\r\n", VT_R8));
  EXPECT_EQ("5:1e-300", Poked("1e-300", VT_R8));
  EXPECT_EQ("3:12", Poked("+12", VT_I4));
  EXPECT_EQ("6:12.3456", Poked("12.3456", VT_CY));
  EXPECT_EQ("11:TRUE", Poked("true", VT_BOOL));
  EXPECT_EQ("11:FALSE", Poked("0", VT_BOOL));
  EXPECT_EQ("7:2024-01-15 12:30:05", Poked("2024-01-15 12:30:05", VT_DATE));
  EXPECT_EQ("7:1850-06-01 18:00:00", Poked("1850-06-01 18:00", VT_DATE));
  EXPECT_EQ("8:4,5 x", Poked("4,5 x", VT_BSTR));
  // An item without a value yet gets the value in its own type.
  EXPECT_EQ("5:7", Poked("7", VT_EMPTY));
  EXPECT_EQ("11:TRUE", Poked("TRUE", VT_EMPTY));
  EXPECT_EQ("8:abc", Poked("abc", VT_EMPTY));
  const char* garbage[] = {"", "abc", "4,5", "12abc", "0x10", "nan", "inf", "1e400", "1..2", "- 1", "+-1"};
  for (const char* g : garbage) EXPECT_EQ("<refused>", Poked(g, VT_R8)) << g;
  EXPECT_EQ("<refused>", Poked("300", VT_UI1));
  EXPECT_EQ("<refused>", Poked("yes", VT_BOOL));
  const char* badDates[] = {"2024-02-30", "2024-13-01", "2024-01-15 24:00", "99-01-01", "2024-01-15 x", "45306.5"};
  for (const char* d : badDates) EXPECT_EQ("<refused>", Poked(d, VT_DATE)) << d;
  // A text is taken whole up to the limit, never cut.
  std::string longText(kTextPokeLimit - 1, 'x');
  CVariant whole, cut;
  ASSERT_TRUE(DecodeTextPoke(reinterpret_cast<const BYTE*>(longText.c_str()), kTextPokeLimit, VT_BSTR, whole.Get()));
  EXPECT_EQ(kTextPokeLimit - 1, SysStringLen(whole->bstrVal));
  longText += 'x';
  EXPECT_FALSE(DecodeTextPoke(reinterpret_cast<const BYTE*>(longText.data()), kTextPokeLimit, VT_BSTR, cut.Get()));
}

TEST(TextValuePoke, NumbersIgnoreTheLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  // A locale with a decimal comma, where one exists (German on Windows and glibc).
  const bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "German_Germany.1252") ||
                     std::setlocale(LC_ALL, "de-DE");
  EXPECT_EQ("5:1234.5", Poked("1234.5", VT_R8));
  EXPECT_EQ("<refused>", Poked("1234,5", VT_R8));
  std::setlocale(LC_ALL, saved.c_str());
  if (!comma) GTEST_SKIP() << "no locale with a decimal comma here";
}

TEST(WideToAnsiRules, CodePagesThatRefuseFlagsGetNone) {
  for (unsigned cp : {65001u, 54936u, 65000u, 50220u, 50229u, 52936u, 57002u, 57011u, 42u}) {
    EXPECT_FALSE(WideToAnsiRulesFor(cp).noBestFit) << cp;
    EXPECT_FALSE(WideToAnsiRulesFor(cp).defaultChar) << cp;
  }
  for (unsigned cp : {1252u, 932u, 936u, 950u, 1251u, 57001u, 57012u, 50230u, 437u}) {
    EXPECT_TRUE(WideToAnsiRulesFor(cp).noBestFit) << cp;
    EXPECT_TRUE(WideToAnsiRulesFor(cp).defaultChar) << cp;
  }
}

TEST(ItemIdCheck, LinkAndConfigurationLimits) {
  const std::string ok(255, 'x'), link(256, 'x'), config(988, 'x'), lastStored(987, 'x');
  EXPECT_EQ(ItemIdFit::kFits, CheckItemId(ok.data(), ok.size()));
  EXPECT_EQ(ItemIdFit::kTooLongForLink, CheckItemId(link.data(), link.size()));
  EXPECT_EQ(ItemIdFit::kTooLongForLink, CheckItemId(lastStored.data(), lastStored.size()));
  EXPECT_EQ(ItemIdFit::kTooLongForConfig, CheckItemId(config.data(), config.size()));
  // The limit is the configuration line's: the longest id that fits comes back whole.
  for (const std::string* id : {&lastStored, &config}) {
    CMemFile file;
    WriteStringEntry(&file, "TagName", id->c_str());
    file.Seek(0, CFile::begin);
    CString back;
    ASSERT_TRUE(ReadStringEntry(&file, "TagName", &back));
    EXPECT_EQ(id == &lastStored, std::string(static_cast<const char*>(back)) == *id) << id->size();
  }
  EXPECT_EQ(ItemIdFit::kLineBreak, CheckItemId("a\nb", 3));
  EXPECT_EQ(ItemIdFit::kEmpty, CheckItemId("", 0));
  EXPECT_STRNE("", ItemIdFitText(ItemIdFit::kTooLongForLink));
}

}  // namespace
