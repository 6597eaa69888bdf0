#include "ui/ValueText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/core/TestZone.h"

namespace {

struct Value {
    VARIANT v;
    explicit Value(VARTYPE vt) {
        std::memset(&v, 0, sizeof v);  // VariantInit sets only the type
        v.vt = vt;
    }
    ~Value() { VariantClear(&v); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
};

std::string Text(const Value& value) { return static_cast<const char*>(FormatVariant(value.v)); }

FILETIME FileTime(unsigned long long ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

const unsigned long long kJan15 = 133497936050000000ull;        // 2024-01-15 12:00:05 UTC
const unsigned long long kJul15 = 133655184050000000ull;        // 2024-07-15 12:00:05 UTC
const unsigned long long kNewYearsEve = 133485390000000000ull;  // 2023-12-31 23:30:00 UTC
const unsigned long long kEvening = 133498224000000000ull;      // 2024-01-15 20:00:00 UTC

std::string Stamp(unsigned long long ticks) { return static_cast<const char*>(FormatTimestamp(FileTime(ticks))); }

}  // namespace

TEST(FormatVariant, IntegerTypes) {
    Value i2(VT_I2);
    i2.v.iVal = -5;
    EXPECT_EQ(Text(i2), "-5 ");
    Value ui2(VT_UI2);
    ui2.v.uiVal = 65535;
    EXPECT_EQ(Text(ui2), "65535 ");
    Value i4(VT_I4);
    i4.v.lVal = -1234;
    EXPECT_EQ(Text(i4), "-1234 ");
    Value ui1(VT_UI1);
    ui1.v.bVal = 255;
    EXPECT_EQ(Text(ui1), "255 ");
    Value i1(VT_I1);  // shown unsigned
    i1.v.cVal = -1;
    EXPECT_EQ(Text(i1), "255 ");
    Value ui4(VT_UI4);  // shown signed
    ui4.v.ulVal = 0xFFFFFFFFu;
    EXPECT_EQ(Text(ui4), "-1 ");
    ui4.v.ulVal = 0x80000000u;
    EXPECT_EQ(Text(ui4), "-2147483648 ");
    Value uint(VT_UINT);
    uint.v.uintVal = 0xFFFFFFFFu;
    EXPECT_EQ(Text(uint), "-1 ");
    Value integer(VT_INT);
    integer.v.intVal = -2147483647 - 1;
    EXPECT_EQ(Text(integer), "-2147483648 ");
}

TEST(FormatVariant, BooleansAndFloats) {
    Value b(VT_BOOL);
    b.v.boolVal = VARIANT_TRUE;
    EXPECT_EQ(Text(b), "TRUE");
    b.v.boolVal = 1;
    EXPECT_EQ(Text(b), "TRUE");
    b.v.boolVal = 0;
    EXPECT_EQ(Text(b), "FALSE");

    Value r4(VT_R4);
    r4.v.fltVal = 123.456f;
    EXPECT_EQ(Text(r4), "123.46 ");
    r4.v.fltVal = 0;
    EXPECT_EQ(Text(r4), " 0.00 ");
    Value r8(VT_R8);
    r8.v.dblVal = 3.14159;
    EXPECT_EQ(Text(r8), "   3.1416 ");
    r8.v.dblVal = 1234.5678;
    EXPECT_EQ(Text(r8), "1234.5678 ");
    r8.v.dblVal = -0.5;
    EXPECT_EQ(Text(r8), "  -0.5000 ");
}

TEST(FormatVariant, Texts) {
    Value s(VT_BSTR);
    s.v.bstrVal = SysAllocString(OLESTR("Running"));
    EXPECT_EQ(Text(s), "Running ");
    Value empty(VT_BSTR);
    empty.v.bstrVal = SysAllocString(OLESTR(""));
    EXPECT_EQ(Text(empty), " ");
    Value null(VT_BSTR);  // a null string shows as the empty text
    EXPECT_EQ(Text(null), " ");
    Value nul(VT_BSTR);
    nul.v.bstrVal = SysAllocStringLen(OLESTR("ab\0cd"), 5);
    EXPECT_EQ(Text(nul), "ab ");
}

TEST(FormatVariant, TypesWithoutANotationShowTheirCode) {
    Value empty(VT_EMPTY);
    EXPECT_EQ(Text(empty), " unknown type:0 ");
    Value date(VT_DATE);
    date.v.date = 45306.5;
    EXPECT_EQ(Text(date), " unknown type:7 ");
    Value null(VT_NULL);
    EXPECT_EQ(Text(null), " unknown type:1 ");
    Value i8(VT_I8);
    i8.v.llVal = 5;
    EXPECT_EQ(Text(i8), " unknown type:20 ");
    VARIANT byref;  // modifier bits are part of the code: no dereferencing, no clearing
    VariantInit(&byref);
    SHORT target = 3;
    byref.vt = VT_I2 | VT_BYREF;
    byref.piVal = &target;
    EXPECT_STREQ(FormatVariant(byref), " unknown type:16386 ");
    byref.vt = VT_ARRAY | VT_R4;
    byref.parray = nullptr;
    EXPECT_STREQ(FormatVariant(byref), " unknown type:8196 ");
}

TEST(FormatVariant, CutsToTheValueBuffer) {
    std::vector<OLECHAR> longText(200, OLECHAR('z'));
    Value s(VT_BSTR);
    s.v.bstrVal = SysAllocStringLen(longText.data(), 200);
    std::string t = Text(s);
    EXPECT_EQ(t.size(), 79u);
    EXPECT_EQ(t, std::string(79, 'z'));
    Value fits(VT_BSTR);  // 78 characters and the blank still fit
    fits.v.bstrVal = SysAllocStringLen(longText.data(), 78);
    EXPECT_EQ(Text(fits), std::string(78, 'z') + " ");

    Value r8(VT_R8);
    r8.v.dblVal = 1e300;
    t = Text(r8);
    EXPECT_EQ(t.size(), 79u);
    EXPECT_EQ(t.substr(0, 2), "10");
}

TEST(QualityText, OnlyThePlainQualitiesAreGoodOrBad) {
    EXPECT_STREQ(QualityText(0xC0), "Good");
    EXPECT_STREQ(QualityText(0x00), "Bad");
    for (DWORD q : {0x40u, 0xD8u, 0x04u, 0x18u, 0xC1u, 0x100C0u, 0xFFFFFFFFu})
        EXPECT_STREQ(QualityText(q), "Uncertain") << q;
}

TEST(FormatTimestamp, AlwaysATimeOfDayWithFourBlanks) {
    for (unsigned long long ticks : {0ull, kJan15, 0x7FFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull}) {
        std::string s = Stamp(ticks);
        ASSERT_EQ(s.size(), 12u) << ticks;
        EXPECT_EQ(s.substr(8), "    ");
        EXPECT_EQ(s[2], ':');
        EXPECT_EQ(s[5], ':');
        EXPECT_LE(s.substr(0, 2), "23");
        EXPECT_LE(s.substr(3, 2), "59");
    }
    // Whatever the zone, the seconds are those of the instant.
    EXPECT_EQ(Stamp(kJan15).substr(6, 2), "05");
}

TEST(TimestampInZone, OneHourAheadOfUtc) {
    QV_IN_ZONE("Etc/GMT-1");
    EXPECT_EQ(Stamp(kJan15), "13:00:05    ");
    EXPECT_EQ(Stamp(kNewYearsEve), "00:30:00    ");
    EXPECT_EQ(Stamp(0), "01:00:00    ");  // 1601-01-01 00:00 UTC
}

TEST(TimestampInZone, TheCurrentOffsetForEveryInstant) {
    QV_IN_ZONE("America/New_York");
    // January and July instants are moved by the same, current offset.
    std::string jan = Stamp(kJan15);
    EXPECT_TRUE(jan == "07:00:05    " || jan == "08:00:05    ") << jan;
    EXPECT_EQ(Stamp(kJul15), jan);
    // Going back over midnight.
    std::string midnight = Stamp(0);
    EXPECT_EQ(midnight, jan == "07:00:05    " ? "19:00:00    " : "20:00:00    ");
}

TEST(TimestampInZone, HalfHourOffset) {
    QV_IN_ZONE("Asia/Kolkata");
    EXPECT_EQ(Stamp(kJan15), "17:30:05    ");
    EXPECT_EQ(Stamp(kEvening), "01:30:00    ");
}
