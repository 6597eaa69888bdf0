#pragma once
// Host stand-in, internal: the text forms oleaut32 gives values in its default en-US
// locale with flags 0, and the parsing of numbers, booleans and dates from text.
// Only the stand-in's own sources include this header.
#include "variant/standin.h"

#include <cstdint>
#include <string>

namespace qv_standin {

// A number as read from text: either a hexadecimal/octal integer ("&H1F", "&O17") or
// a decimal digit string with a power of ten (value = digits * 10^exponent).
struct ParsedNumber {
    bool negative = false;
    bool radix = false;  // "&H" / "&O" form: the value is in radixValue
    uint64_t radixValue = 0;
    std::string digits;  // significant digits, no leading zeros, may be empty (zero)
    int exponent = 0;
};

// Reads text the way VarParseNumFromStr does with all NUMPRS_STD options in en-US:
// surrounding blanks, a leading or trailing sign, parentheses for negative, "$",
// "," thousands separators, "." decimals, an exponent, "&H" and "&O" integers.
// The text ends at its first NUL. DISP_E_TYPEMISMATCH when it is not a number,
// DISP_E_OVERFLOW when a radix integer needs more than 64 bits.
HRESULT ParseNumber(const OLECHAR* text, ParsedNumber* out);

// The double oleaut32 makes of a parsed number (digits accumulated in a double, then
// scaled by a power of ten). DISP_E_OVERFLOW when it does not fit.
HRESULT ParsedToDouble(const ParsedNumber& number, double* out);

// The number rounded half to even to an integer within [minimum, maximum]. Radix
// integers are checked against `bits` and taken as that many bits' pattern.
HRESULT ParsedToInteger(const ParsedNumber& number, int bits, bool isSigned, int64_t* out);

// "True"/"False" in any case, and "#TRUE#"/"#FALSE#" exactly.
bool ParseBoolWord(const OLECHAR* text, VARIANT_BOOL* out);

// Dates and times in the en-US forms: "1/15/2024", "2024-01-15", "Jan 15, 2024",
// "15 January 2024", "Monday, January 15, 2024", "12:30", "12:30:45 PM", "5 PM",
// "1.5" (a time, 1:05), and a date with a time before or after it.
// DISP_E_TYPEMISMATCH otherwise, also for forms the real one completes with today's
// year ("1/15") and for the month-and-year forms "1,234" and "1 000".
HRESULT ParseDate(const OLECHAR* text, DATE* out);

// printf "%.<precision>G" as oleaut32 uses it (15 digits for R8, 7 for R4), without a
// negative zero.
std::u16string FormatReal(double value, int precision);

// "M/d/yyyy h:mm:ss AM", the date or the time alone when the other part is zero.
// E_INVALIDARG outside the DATE range.
HRESULT FormatDate(DATE value, std::u16string* out);

// A scaled integer as decimal text without trailing fractional zeros ("1.5", "-0.0001").
std::u16string FormatScaled(bool negative, uint32_t hi, uint64_t lo, int scale);

std::u16string FormatInteger(int64_t value);
std::u16string FormatUnsigned(uint64_t value);

// The OLE date range: (-657435, 2958466) exclusive, 1 January 100 to 31 December 9999.
bool DateInRange(double value);

}  // namespace qv_standin
