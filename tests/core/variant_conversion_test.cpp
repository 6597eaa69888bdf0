// The conversion table: what VariantChangeType (flags 0, default en-US locale) answers
// for a source value and a target type. The same table runs in the Windows build against
// the real oleaut32 (under Wine) and in the host build against our stand-in; the real one
// is the reference, and every row was taken from what it answered.
// The table holds only the conversions the bridge makes: an item's value to VT_R8 for an
// advise, and a poked number, text, boolean or integer to the item's own type.
//
// Rows marked "oleaut32 habit" record answers that surprise: they are what the real one
// does, and code that converts values must live with them.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>

#include "tests/core/values.h"

namespace {

// A value for a row: integers, BOOL and CY units in i, floating types in d, texts as
// their code units (n < 0: up to the NUL; a null text with n 0).
struct Value {
    VARTYPE vt;
    int64_t i;
    double d;
    const OLECHAR* text;
    int n;
};
Value Int(VARTYPE vt, int64_t x) { return {vt, x, 0, nullptr, 0}; }
Value I1(int x) { return Int(VT_I1, x); }
Value I2(int x) { return Int(VT_I2, x); }
Value I4(int64_t x) { return Int(VT_I4, x); }
Value UI1(unsigned x) { return Int(VT_UI1, x); }
Value UI2(unsigned x) { return Int(VT_UI2, x); }
Value UI4(uint64_t x) { return Int(VT_UI4, static_cast<int64_t>(x)); }
Value Bool(int x) { return Int(VT_BOOL, x); }
Value Cy(int64_t units) { return Int(VT_CY, units); }  // 1.5 is Cy(15000)
Value R4(float x) { return {VT_R4, 0, x, nullptr, 0}; }
Value R8(double x) { return {VT_R8, 0, x, nullptr, 0}; }
Value Date(double x) { return {VT_DATE, 0, x, nullptr, 0}; }
Value Text(const OLECHAR* s, int n = -1) { return {VT_BSTR, 0, 0, s, n}; }
Value NullText() { return {VT_BSTR, 0, 0, nullptr, 0}; }

// A new VARIANT holding the value; the caller VariantClear's it.
VARIANT Make(const Value& x) {
    if (x.vt != VT_BSTR) return Raw(x.vt, x.i, x.d);
    UINT n = x.n < 0 ? 0 : static_cast<UINT>(x.n);
    while (x.n < 0 && x.text[n]) ++n;
    VARIANT v = Raw(VT_BSTR, 0);
    v.bstrVal = x.text ? SysAllocStringLen(x.text, n) : nullptr;
    return v;
}

// The type and the value's own bytes (so -0.0 differs from 0.0), or the text.
std::string Describe(const VARIANT& v) {
    static const int kWidth[] = {0, 0, 2, 4, 4, 8, 8, 8, 8, 8, 4, 2, 8, 8, 8, 8, 1, 1, 2, 4, 8, 8, 4, 4};
    std::ostringstream out;
    out << "vt " << v.vt << " " << std::hex << std::setfill('0');
    if (v.vt == VT_BSTR && !v.bstrVal) out << "(null)";
    for (UINT k = 0; v.vt == VT_BSTR && k < SysStringLen(v.bstrVal); ++k) {
        if (v.bstrVal[k] >= 32 && v.bstrVal[k] < 127)
            out << static_cast<char>(v.bstrVal[k]);
        else
            out << "\\u" << std::setw(4) << static_cast<unsigned>(v.bstrVal[k]);
    }
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&v.llVal);
    for (int k = v.vt < 24 ? kWidth[v.vt] : 8; v.vt != VT_BSTR && k-- > 0;) out << std::setw(2) << int{bytes[k]};
    if (v.vt == VT_R8 || v.vt == VT_DATE) out << " (" << std::defaultfloat << std::setprecision(17) << v.dblVal << ")";
    return out.str();
}

std::string Hex(HRESULT hr) {
    std::ostringstream out;
    out << "0x" << std::hex << static_cast<uint32_t>(hr);
    return out.str();
}

struct Row {
    int line;
    Value from;
    VARTYPE to;
    HRESULT hr;
    Value want;
};

#define CONVERTS(from, to, want) \
    { __LINE__, from, to, S_OK, want }
#define REFUSES(from, to, hr) \
    { __LINE__, from, to, hr, Value() }

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Each conversion goes into a destination that holds a text: a refused one leaves it
// alone, a done one releases it (on the host, AddressSanitizer reports a leak otherwise).
TEST(VariantConversion, TheBridgesConversions) {
    static const OLECHAR kEmbeddedNul[] = {'1', '2', 0, '3'};
    static const OLECHAR kNoBreakSpace5[] = {0x00A0, '5', 0};
    static const OLECHAR kWithNul[] = {'a', 0, 'b'};
    static const Row rows[] = {
        // Numbers to text: up to 15 significant digits.
        CONVERTS(R8(0.1), VT_BSTR, Text(OLESTR("0.1"))),
        CONVERTS(R8(1.0 / 3), VT_BSTR, Text(OLESTR("0.333333333333333"))),
        CONVERTS(R8(0.1 + 0.2), VT_BSTR, Text(OLESTR("0.3"))),
        CONVERTS(R8(1e15), VT_BSTR, Text(OLESTR("1E+15"))),
        CONVERTS(R8(999999999999999.0), VT_BSTR, Text(OLESTR("999999999999999"))),
        CONVERTS(R8(1234567890123456.0), VT_BSTR, Text(OLESTR("1.23456789012346E+15"))),
        CONVERTS(R8(1e-5), VT_BSTR, Text(OLESTR("1E-05"))),
        CONVERTS(R8(0.0001), VT_BSTR, Text(OLESTR("0.0001"))),
        CONVERTS(R8(1e-300), VT_BSTR, Text(OLESTR("1E-300"))),
        CONVERTS(R8(DBL_MAX), VT_BSTR, Text(OLESTR("1.79769313486232E+308"))),
        CONVERTS(R8(-123.45), VT_BSTR, Text(OLESTR("-123.45"))),
        CONVERTS(R8(-0.0), VT_BSTR, Text(OLESTR("0"))),  // no negative zero
        CONVERTS(R8(100), VT_BSTR, Text(OLESTR("100"))),
        CONVERTS(R8(kInf), VT_BSTR, Text(OLESTR("INF"))),
        CONVERTS(R8(kNaN), VT_BSTR, Text(OLESTR("NAN"))),
        CONVERTS(I2(-32768), VT_BSTR, Text(OLESTR("-32768"))),
        // Text to numbers.
        CONVERTS(Text(OLESTR("1.5")), VT_R8, R8(1.5)),
        CONVERTS(Text(OLESTR("0.1")), VT_R8, R8(0.1)),
        CONVERTS(Text(OLESTR("3.14159265358979")), VT_R8, R8(3.14159265358979)),
        CONVERTS(Text(OLESTR("1e3")), VT_R8, R8(1000)),
        CONVERTS(Text(OLESTR("1.5e-3")), VT_R8, R8(0.0015)),
        CONVERTS(Text(OLESTR("0.5e1")), VT_I4, I4(5)),
        CONVERTS(Text(OLESTR(".5")), VT_R8, R8(0.5)),
        CONVERTS(Text(OLESTR("5.")), VT_R8, R8(5)),
        CONVERTS(Text(OLESTR("-0")), VT_R8, R8(-0.0)),
        CONVERTS(Text(OLESTR("1e-400")), VT_R8, R8(0)),
        CONVERTS(Text(OLESTR("0.1")), VT_R4, R4(0.1f)),
        CONVERTS(Text(OLESTR("+5")), VT_I4, I4(5)),
        CONVERTS(Text(OLESTR("5-")), VT_I4, I4(-5)),
        CONVERTS(Text(OLESTR("(-5)")), VT_I4, I4(-5)),
        CONVERTS(Text(OLESTR("$5")), VT_I4, I4(5)),
        CONVERTS(Text(OLESTR("$1,234.50")), VT_R8, R8(1234.5)),
        CONVERTS(Text(OLESTR("1,2,3,4")), VT_I4, I4(1234)),    // oleaut32 habit: separators anywhere
        CONVERTS(Text(OLESTR("1.234,5")), VT_R8, R8(1.2345)),  // oleaut32 habit
        CONVERTS(Text(OLESTR(" 12 ")), VT_I4, I4(12)),
        CONVERTS(Text(OLESTR("7\n")), VT_I4, I4(7)),
        CONVERTS(Text(kNoBreakSpace5), VT_I4, I4(5)),
        CONVERTS(Text(kEmbeddedNul, 4), VT_I4, I4(12)),  // the text ends at its first NUL
        CONVERTS(Text(OLESTR("&H10")), VT_I4, I4(16)),
        CONVERTS(Text(OLESTR("&O17")), VT_I4, I4(15)),
        CONVERTS(Text(OLESTR("&HFF")), VT_I1, I1(-1)),                   // oleaut32 habit: the bit pattern
        CONVERTS(Text(OLESTR("&HFFFFFFFF")), VT_I4, I4(-1)),             // oleaut32 habit
        CONVERTS(Text(OLESTR("&H80000000")), VT_R8, R8(-2147483648.0)),  // oleaut32 habit
        CONVERTS(Text(OLESTR("-&H10")), VT_I4, I4(16)),                  // oleaut32 habit: the sign is ignored
        CONVERTS(Text(OLESTR("4294967295")), VT_UI4, UI4(4294967295u)),
        CONVERTS(Text(OLESTR("-2147483648")), VT_I4, I4(INT32_MIN)),
        REFUSES(Text(OLESTR("abc")), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("")), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(NullText(), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR(" ")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("12abc")), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("0x10")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("&O8")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("&H")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1 000")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR(",5")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1.5.5")), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1e")), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("--5")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("NaN")), VT_R8, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1e400")), VT_R8, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("1e39")), VT_R4, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("&HFFFFFFFF")), VT_R8, DISP_E_OVERFLOW),  // oleaut32 habit
        REFUSES(Text(OLESTR("&H10")), VT_CY, DISP_E_OVERFLOW),        // oleaut32 habit
        REFUSES(Text(OLESTR("&HFFFF")), VT_I1, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("32768")), VT_I2, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("256")), VT_UI1, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("-1")), VT_UI1, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("4294967296")), VT_UI4, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("-2147483649")), VT_I4, DISP_E_OVERFLOW),
        // Rounding (half to even) and ranges.
        CONVERTS(R8(2.5), VT_I4, I4(2)),
        CONVERTS(R8(3.5), VT_I4, I4(4)),
        CONVERTS(R8(-2.5), VT_I4, I4(-2)),
        CONVERTS(Text(OLESTR("2.5")), VT_I4, I4(2)),
        CONVERTS(Text(OLESTR("-0.4")), VT_UI1, UI1(0)),
        REFUSES(Text(OLESTR("2147483647.5")), VT_I4, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("-0.6")), VT_UI1, DISP_E_OVERFLOW),
        CONVERTS(I4(70000), VT_R8, R8(70000)),
        REFUSES(R8(32767.5), VT_I2, DISP_E_OVERFLOW),
        CONVERTS(R8(-32768.5), VT_I2, I2(-32768)),
        REFUSES(R8(2147483647.5), VT_I4, DISP_E_OVERFLOW),
        CONVERTS(R8(2147483646.5), VT_I4, I4(2147483646)),
        CONVERTS(R8(-2147483648.5), VT_I4, I4(INT32_MIN)),
        CONVERTS(R8(2147483647.5), VT_UI4, UI4(2147483648u)),
        REFUSES(R8(4294967295.5), VT_UI4, DISP_E_OVERFLOW),
        REFUSES(R8(255.5), VT_UI1, DISP_E_OVERFLOW),
        CONVERTS(R8(-0.5), VT_UI1, UI1(0)),
        REFUSES(R8(-1), VT_UI4, DISP_E_OVERFLOW),
        REFUSES(R8(kInf), VT_I4, DISP_E_OVERFLOW),
        REFUSES(R8(1.5e300), VT_R4, DISP_E_OVERFLOW),
        REFUSES(R8(kInf), VT_R4, DISP_E_OVERFLOW),
        CONVERTS(R8(1e-300), VT_R4, R4(0)),
        CONVERTS(R8(0.1), VT_R4, R4(0.1f)),
        CONVERTS(R4(0.1f), VT_R8, R8(static_cast<double>(0.1f))),
        REFUSES(I2(-1), VT_UI1, DISP_E_OVERFLOW),
        // oleaut32 habit: between types of one size the bits are reinterpreted, not refused.
        CONVERTS(I2(-1), VT_UI2, UI2(65535)),
        // Booleans.
        CONVERTS(Bool(VARIANT_TRUE), VT_I4, I4(-1)),
        CONVERTS(Bool(VARIANT_TRUE), VT_R8, R8(-1)),
        CONVERTS(Bool(VARIANT_TRUE), VT_CY, Cy(-10000)),
        CONVERTS(Bool(VARIANT_TRUE), VT_UI1, UI1(255)),  // oleaut32 habit: the 16-bit pattern, cut
        CONVERTS(Bool(1), VT_I4, I4(1)),
        CONVERTS(Bool(VARIANT_TRUE), VT_BSTR, Text(OLESTR("-1"))),  // not "True" with flags 0
        CONVERTS(Bool(2), VT_BOOL, Bool(2)),                        // same type: copied as it is
        CONVERTS(R8(0.1), VT_BOOL, Bool(VARIANT_TRUE)),
        CONVERTS(R8(-0.0), VT_BOOL, Bool(VARIANT_FALSE)),
        CONVERTS(R8(kNaN), VT_BOOL, Bool(VARIANT_TRUE)),
        CONVERTS(Text(OLESTR("true")), VT_BOOL, Bool(VARIANT_TRUE)),
        CONVERTS(Text(OLESTR("False")), VT_BOOL, Bool(VARIANT_FALSE)),
        CONVERTS(Text(OLESTR("#TRUE#")), VT_BOOL, Bool(VARIANT_TRUE)),
        CONVERTS(Text(OLESTR("2")), VT_BOOL, Bool(VARIANT_TRUE)),
        CONVERTS(Text(OLESTR("0")), VT_BOOL, Bool(VARIANT_FALSE)),
        REFUSES(Text(OLESTR("#True#")), VT_BOOL, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR(" True ")), VT_BOOL, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("Yes")), VT_BOOL, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("")), VT_BOOL, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("True")), VT_I4, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1e400")), VT_BOOL, DISP_E_OVERFLOW),
        REFUSES(Text(OLESTR("&HFFFFFFFF")), VT_BOOL, DISP_E_OVERFLOW),
        // Dates, from text and numbers.
        CONVERTS(Date(45306.5), VT_R8, R8(45306.5)),
        CONVERTS(R8(45306.5), VT_DATE, Date(45306.5)),
        CONVERTS(R8(2958465), VT_DATE, Date(2958465)),
        CONVERTS(R8(-657434), VT_DATE, Date(-657434)),
        REFUSES(R8(2958466), VT_DATE, DISP_E_OVERFLOW),
        REFUSES(R8(-657435), VT_DATE, DISP_E_OVERFLOW),
        REFUSES(R8(kInf), VT_DATE, DISP_E_OVERFLOW),
        CONVERTS(Text(OLESTR("1/15/2024")), VT_DATE, Date(45306)),
        CONVERTS(Text(OLESTR("2024-01-15")), VT_DATE, Date(45306)),
        CONVERTS(Text(OLESTR("  1/15/2024  ")), VT_DATE, Date(45306)),
        CONVERTS(Text(OLESTR("Jan 15, 2024")), VT_DATE, Date(45306)),
        CONVERTS(Text(OLESTR("15 January 2024")), VT_DATE, Date(45306)),
        CONVERTS(Text(OLESTR("Monday, January 15, 2024")), VT_DATE, Date(45306)),
        CONVERTS(Text(OLESTR("Jan 2024")), VT_DATE, Date(45292)),
        CONVERTS(Text(OLESTR("12,34")), VT_DATE, Date(49279)),  // oleaut32 habit: December 2034
        CONVERTS(Text(OLESTR("1/15/49")), VT_DATE, Date(54438)),
        CONVERTS(Text(OLESTR("1/15/50")), VT_DATE, Date(18278)),
        CONVERTS(Text(OLESTR("13/1/2024")), VT_DATE, Date(45304)),  // month and day swap
        CONVERTS(Text(OLESTR("2/29/2024")), VT_DATE, Date(45351)),
        CONVERTS(Text(OLESTR("12/31/9999")), VT_DATE, Date(2958465)),
        CONVERTS(Text(OLESTR("1/1/100")), VT_DATE, Date(-657434)),
        CONVERTS(Text(OLESTR("12:30")), VT_DATE, Date(0x1.0aaaaaaaaaaabp-1)),
        CONVERTS(Text(OLESTR("12:30:45")), VT_DATE, Date(0x1.0aeeeeeeeeeefp-1)),
        CONVERTS(Text(OLESTR("12:30:45 AM")), VT_DATE, Date(0x1.5dddddddddddep-6)),
        CONVERTS(Text(OLESTR("23:59:59")), VT_DATE, Date(0x1.fffe7ba375f32p-1)),
        CONVERTS(Text(OLESTR("5 PM")), VT_DATE, Date(0x1.6aaaaaaaaaaabp-1)),
        CONVERTS(Text(OLESTR("13:00 PM")), VT_DATE, Date(0x1.1555555555555p-1)),
        CONVERTS(Text(OLESTR("1/15/2024 12:30:45 PM")), VT_DATE, Date(0x1.61f50aeeeeeefp+15)),
        CONVERTS(Text(OLESTR("2024-01-15 12:30:45")), VT_DATE, Date(0x1.61f50aeeeeeefp+15)),
        CONVERTS(Text(OLESTR("12:30:45 PM 1/15/2024")), VT_DATE, Date(0x1.61f50aeeeeeefp+15)),
        CONVERTS(Text(OLESTR("12/29/1899 6:00 AM")), VT_DATE, Date(-1.25)),
        CONVERTS(Text(OLESTR("1.5")), VT_DATE, Date(0x1.71c71c71c71c7p-5)),  // oleaut32 habit: 1:05
        REFUSES(Text(OLESTR("45306")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(NullText(), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("2/30/2024")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("0/1/2024")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("15/13/2024")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1/1/10000")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("24:00")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("12:60")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("12:30:45.5")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("12:30 PM PM")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1/15/2024,")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("15.01.2024")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("2024-01-15T12:30:45")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1/15/2024 12:30:45 PM extra")), VT_DATE, DISP_E_TYPEMISMATCH),
        REFUSES(Text(OLESTR("1/15/2024")), VT_R8, DISP_E_TYPEMISMATCH),
        // Currency: four decimals.
        CONVERTS(R8(1.5), VT_CY, Cy(15000)),
        CONVERTS(R8(1.23456), VT_CY, Cy(12346)),
        CONVERTS(R8(-123.45), VT_CY, Cy(-1234500)),
        CONVERTS(R8(0.00015), VT_CY, Cy(1)),
        CONVERTS(R8(0.00005), VT_CY, Cy(1)),  // the double lies a hair above the half
        CONVERTS(R8(0.00025), VT_CY, Cy(3)),
        CONVERTS(R8(922337203685477.0), VT_CY, Cy(9223372036854770000)),
        REFUSES(R8(922337203685478.0), VT_CY, DISP_E_OVERFLOW),
        REFUSES(R8(kInf), VT_CY, DISP_E_OVERFLOW),
        REFUSES(R8(kNaN), VT_CY, DISP_E_OVERFLOW),
        CONVERTS(Text(OLESTR("$1,234.50")), VT_CY, Cy(12345000)),
        CONVERTS(Text(OLESTR("0.00005")), VT_CY, Cy(1)),
        REFUSES(Text(OLESTR("922337203685477.5807")), VT_CY, DISP_E_OVERFLOW),
        CONVERTS(Cy(123456789), VT_R8, R8(12345.6789)),
        CONVERTS(Cy(INT64_MAX), VT_R8, R8(922337203685477.5807)),
        // Empty converts as 0, null not at all; same-type conversions are copies.
        CONVERTS(Int(VT_EMPTY, 0), VT_R8, R8(0)),
        REFUSES(Int(VT_NULL, 0), VT_R8, DISP_E_TYPEMISMATCH),
        CONVERTS(Text(OLESTR("x y")), VT_BSTR, Text(OLESTR("x y"))),
        CONVERTS(Text(kWithNul, 3), VT_BSTR, Text(kWithNul, 3)),
        CONVERTS(NullText(), VT_BSTR, Text(OLESTR(""))),  // oleaut32 habit: a null text copies as ""
        CONVERTS(R8(kNaN), VT_R8, R8(kNaN)),
    };
    for (const Row& row : rows) {
        VARIANT source = Make(row.from), result = Make(Text(OLESTR("old")));
        const BSTR old = result.bstrVal;
        const std::string before = Describe(source);
        const HRESULT hr = VariantChangeType(&result, &source, 0, row.to);
        const std::string what = "row at line " + std::to_string(row.line) + ": " + before + " -> vt " +
                                 std::to_string(row.to) + " gave " + Hex(hr) + " " + Describe(result);
        EXPECT_EQ(Hex(row.hr), Hex(hr)) << what;
        if (SUCCEEDED(row.hr) && hr == row.hr) {
            VARIANT expected = Make(row.want);
            EXPECT_EQ(Describe(expected), Describe(result)) << what;
            VariantClear(&expected);
        }
        if (FAILED(hr))
            EXPECT_TRUE(result.vt == VT_BSTR && result.bstrVal == old) << what << ": the destination changed";
        EXPECT_EQ(before, Describe(source)) << what << ": the source changed";
        VariantClear(&result);
        VariantClear(&source);
    }
}

}  // namespace
