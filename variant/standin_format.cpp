// Host stand-in: text forms of numbers and dates in oleaut32's default en-US locale, and
// the reading of numbers, booleans and dates from text. The quirks kept here were measured
// against oleaut32 (see tests/core/variant_conversion_test.cpp).
#include "variant/standin_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace qv_standin {
namespace {

bool IsBlank(OLECHAR c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x0085 || c == 0x00A0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}
bool IsDigit(OLECHAR c) { return c >= u'0' && c <= u'9'; }
bool IsLetter(OLECHAR c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
OLECHAR Lower(OLECHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<OLECHAR>(c + 32) : c; }

bool EqualsNoCase(const OLECHAR* text, const char* word) {
    for (; *word; ++text, ++word) {
        if (!*text || Lower(*text) != static_cast<OLECHAR>(*word)) return false;
    }
    return *text == 0;
}

std::u16string Widen(const char* s) {
    std::u16string out;
    for (; *s; ++s) out += static_cast<OLECHAR>(static_cast<unsigned char>(*s));
    return out;
}

// Days since 1 March of year 0 style civil calendar (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (*m <= 2));
}

const int64_t kEpoch = DaysFromCivil(1899, 12, 30);  // OLE date 0

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

// ---- Numbers -----------------------------------------------------------------------------

HRESULT ParseNumber(const OLECHAR* text, ParsedNumber* out) {
    *out = ParsedNumber();
    const OLECHAR* p = text;
    OLECHAR sign = 0;
    bool parens = false, closed = false, currency = false;

    for (;; ++p) {  // leading blanks, sign, parenthesis and currency symbol, in any order
        if (IsBlank(*p)) continue;
        if (*p == u'+' || *p == u'-') {
            if (sign) return DISP_E_TYPEMISMATCH;
            sign = *p;
        } else if (*p == u'(') {
            if (parens) return DISP_E_TYPEMISMATCH;
            parens = true;
        } else if (*p == u'$') {
            if (currency) return DISP_E_TYPEMISMATCH;
            currency = true;
        } else {
            break;
        }
    }

    if (*p == u'&') {
        const OLECHAR kind = Lower(p[1]);
        unsigned shift = kind == u'h' ? 4 : kind == u'o' ? 3 : 0;
        if (!shift) return DISP_E_TYPEMISMATCH;
        p += 2;
        int count = 0;
        uint64_t value = 0;
        for (;; ++p, ++count) {
            unsigned digit;
            if (IsDigit(*p))
                digit = *p - u'0';
            else if (shift == 4 && Lower(*p) >= u'a' && Lower(*p) <= u'f')
                digit = Lower(*p) - u'a' + 10;
            else
                break;
            if (digit >= (1u << shift)) return DISP_E_TYPEMISMATCH;
            if (value > ((UINT64_MAX >> shift) - digit)) return DISP_E_OVERFLOW;
            value = (value << shift) + digit;
        }
        if (!count) return DISP_E_TYPEMISMATCH;
        out->radix = true;
        out->radixValue = value;
    } else {
        std::string digits;
        int fraction = 0;
        bool any = false;
        for (; IsDigit(*p) || (*p == u',' && any); ++p) {
            if (*p == u',') continue;  // thousands separators may stand anywhere after a digit
            digits += static_cast<char>(*p);
            any = true;
        }
        if (*p == u'.') {
            for (++p; IsDigit(*p) || (*p == u',' && any); ++p) {
                if (*p == u',') continue;  // and are skipped even after the decimal point
                digits += static_cast<char>(*p);
                ++fraction;
                any = true;
            }
        }
        if (!any) return DISP_E_TYPEMISMATCH;
        int exponent = 0;
        if (*p == u'e' || *p == u'E') {
            ++p;
            bool negativeExponent = false;
            if (*p == u'+' || *p == u'-') negativeExponent = *p++ == u'-';
            if (!IsDigit(*p)) return DISP_E_TYPEMISMATCH;
            for (; IsDigit(*p); ++p)
                if (exponent < 100000) exponent = exponent * 10 + (*p - u'0');
            if (negativeExponent) exponent = -exponent;
        }
        exponent -= fraction;
        const size_t first = digits.find_first_not_of('0');
        digits = first == std::string::npos ? std::string() : digits.substr(first);
        while (!digits.empty() && digits.back() == '0') {
            digits.pop_back();
            ++exponent;
        }
        out->digits = digits;
        out->exponent = digits.empty() ? 0 : exponent;
    }

    for (;; ++p) {  // trailing blanks, sign, closing parenthesis, currency symbol
        if (IsBlank(*p)) continue;
        if (*p == u'+' || *p == u'-') {
            if (sign) return DISP_E_TYPEMISMATCH;
            sign = *p;
        } else if (*p == u')') {
            if (!parens || closed) return DISP_E_TYPEMISMATCH;
            closed = true;
        } else if (*p == u'$') {
            if (currency) return DISP_E_TYPEMISMATCH;
            currency = true;
        } else {
            break;
        }
    }
    if (*p != 0 || parens != closed) return DISP_E_TYPEMISMATCH;
    // A sign or parentheses do not negate a radix number.
    out->negative = !out->radix && (sign == u'-' || parens);
    return S_OK;
}

HRESULT ParsedToDouble(const ParsedNumber& number, double* out) {
    if (number.radix) {
        // The real one reads a radix number as a 32-bit integer here: up to 0x80000000,
        // which comes out negative.
        if (number.radixValue > 0x80000000u) return DISP_E_OVERFLOW;
        *out = static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(number.radixValue)));
        return S_OK;
    }
    double whole = 0;
    for (char c : number.digits) whole = whole * 10.0 + (c - '0');
    double value =
        number.exponent >= 0 ? whole * std::pow(10.0, number.exponent) : whole / std::pow(10.0, -number.exponent);
    if (std::isinf(value)) return DISP_E_OVERFLOW;
    *out = number.negative ? -value : value;
    return S_OK;
}

HRESULT ParsedToInteger(const ParsedNumber& number, int bits, bool isSigned, int64_t* out) {
    if (number.radix) {
        // Radix numbers fill the target's bits and are read as its pattern ("&HFFFF" is -1 as I2).
        if (bits < 64 && (number.radixValue >> bits) != 0) return DISP_E_OVERFLOW;
        *out = static_cast<int64_t>(number.radixValue);
        return S_OK;
    }
    const std::string& digits = number.digits;
    const int count = static_cast<int>(digits.size());
    const int whole = count + number.exponent;  // number of digits before the point
    if (whole > 20) return DISP_E_OVERFLOW;
    unsigned __int128 magnitude = 0;
    for (int i = 0; i < whole; ++i) magnitude = magnitude * 10 + static_cast<unsigned>(i < count ? digits[i] - '0' : 0);
    // Round half to even on the exact decimal digits.
    const char first = whole >= 0 && whole < count ? digits[whole] : (whole < 0 ? '0' : '0');
    bool sticky = false;
    if (whole >= 0 && whole + 1 < count) sticky = digits.find_first_not_of('0', whole + 1) != std::string::npos;
    if (whole < 0 && count > 0) sticky = true;  // all digits lie below the first decimal
    if (first > '5' || (first == '5' && (sticky || (magnitude & 1)))) ++magnitude;

    const unsigned __int128 limit = isSigned
                                        ? (static_cast<unsigned __int128>(1) << (bits - 1)) - (number.negative ? 0 : 1)
                                        : (bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1);
    if (number.negative && magnitude != 0 && !isSigned) return DISP_E_OVERFLOW;
    if (magnitude > limit) return DISP_E_OVERFLOW;
    const uint64_t m = static_cast<uint64_t>(magnitude);
    *out = number.negative ? static_cast<int64_t>(0 - m) : static_cast<int64_t>(m);
    return S_OK;
}

bool ParseBoolWord(const OLECHAR* text, VARIANT_BOOL* out) {
    if (EqualsNoCase(text, "true") || std::u16string(text) == u"#TRUE#") {
        *out = VARIANT_TRUE;
        return true;
    }
    if (EqualsNoCase(text, "false") || std::u16string(text) == u"#FALSE#") {
        *out = VARIANT_FALSE;
        return true;
    }
    return false;
}

// ---- Dates -------------------------------------------------------------------------------

namespace {

const char* const kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                               "july",    "august",   "september", "october", "november", "december"};
const char* const kWeekdays[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

struct Token {
    enum Kind { kNumber, kMonth, kAm, kPm } kind;
    int value = 0;
    int digits = 0;
    bool timeSep = false;  // followed by ':' or '.'
    bool dateSep = false;  // followed by '/' or '-'
};

// 1-12 for a month's full name or first three letters, 0 otherwise.
int FindName(const std::u16string& word, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        const size_t length = std::strlen(names[i]);
        if (word.size() != length && word.size() != 3) continue;
        bool match = true;
        for (size_t k = 0; k < word.size() && match; ++k) match = word[k] == static_cast<OLECHAR>(names[i][k]);
        if (match) return i + 1;
    }
    return 0;
}

HRESULT Tokenize(const OLECHAR* p, std::vector<Token>* tokens) {
    int dateSeps = 0;
    while (*p) {
        if (IsDigit(*p)) {
            Token t{Token::kNumber};
            for (; IsDigit(*p); ++p, ++t.digits)
                if (t.digits < 9) t.value = t.value * 10 + (*p - u'0');
            tokens->push_back(t);
        } else if (IsLetter(*p)) {
            std::u16string word;
            for (; IsLetter(*p); ++p) word += Lower(*p);
            if (word == u"am" || word == u"a") {
                tokens->push_back(Token{Token::kAm});
            } else if (word == u"pm" || word == u"p") {
                tokens->push_back(Token{Token::kPm});
            } else if (const int month = FindName(word, kMonths, 12)) {
                Token t{Token::kMonth};
                t.value = month;
                tokens->push_back(t);
            } else if (!FindName(word, kWeekdays, 7)) {  // a day's name is read over
                return DISP_E_TYPEMISMATCH;
            }
        } else if (*p == u':' || *p == u'.') {
            if (tokens->empty() || tokens->back().kind != Token::kNumber || tokens->back().timeSep)
                return DISP_E_TYPEMISMATCH;
            tokens->back().timeSep = true;
            ++p;
        } else if (*p == u'/' || *p == u'-') {
            if (tokens->empty() || tokens->back().dateSep || ++dateSeps > 2) return DISP_E_TYPEMISMATCH;
            tokens->back().dateSep = true;
            ++p;
        } else if (*p == u',' || IsBlank(*p)) {
            if (*p == u',' && !p[1]) return DISP_E_TYPEMISMATCH;
            ++p;
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    }
    if (!tokens->empty() && (tokens->back().timeSep || tokens->back().dateSep)) return DISP_E_TYPEMISMATCH;
    return S_OK;
}

int FullYear(const Token& t) {
    if (t.value < 50) return 2000 + t.value;  // years below 100 fall in 1950-2049
    if (t.value < 100) return 1900 + t.value;
    return t.value;
}

// The calendar date from the date tokens: three numbers (month/day/year, or year-month-day
// when the first has more than two digits), a month's name with day and year or with a
// year alone, or year-month. Forms that need today's year are not handled.
HRESULT DateFromTokens(const std::vector<Token>& date, int* year, int* month, int* day) {
    int names = 0;
    std::vector<Token> numbers;
    for (const Token& t : date) {
        if (t.kind == Token::kMonth) {
            ++names;
            *month = t.value;
        } else {
            numbers.push_back(t);
        }
    }
    if (names > 1) return DISP_E_TYPEMISMATCH;
    if (names == 1) {
        if (numbers.size() == 2) {  // "Jan 15, 2024", "15 January 2024"
            *day = numbers[0].value;
            *year = FullYear(numbers[1]);
        } else if (numbers.size() == 1 && numbers[0].digits > 2) {  // "Jan 2024"
            *day = 1;
            *year = numbers[0].value;
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    } else if (numbers.size() == 3) {
        if (numbers[0].digits > 2) {  // "2024-01-15", "2024/1/15"
            *year = numbers[0].value;
            *month = numbers[1].value;
            *day = numbers[2].value;
        } else {  // "1/15/2024"; a month above 12 trades places with the day
            *month = numbers[0].value;
            *day = numbers[1].value;
            *year = FullYear(numbers[2]);
            if (*month > 12 && *day <= 12) std::swap(*month, *day);
        }
    } else if (numbers.size() == 2 && numbers[0].digits > 2) {  // "2024-01"
        *year = numbers[0].value;
        *month = numbers[1].value;
        *day = 1;
    } else if (numbers.size() == 2 && (numbers[1].value == 0 || numbers[1].value > 31)) {
        *month = numbers[0].value;  // "12,34", "1 000": a month and a year that cannot be a day
        *year = FullYear(numbers[1]);
        *day = 1;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    if (*year < 100 || *year > 9999 || *month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month))
        return DISP_E_TYPEMISMATCH;
    return S_OK;
}

}  // namespace

HRESULT ParseDate(const OLECHAR* text, DATE* out) {
    std::vector<Token> tokens;
    HRESULT hr = Tokenize(text, &tokens);
    if (FAILED(hr)) return hr;
    if (tokens.empty()) return DISP_E_TYPEMISMATCH;

    // The time: two or three numbers joined by ':' or '.', or an hour alone, either of
    // them optionally followed by AM or PM. The rest is the date.
    std::vector<int> time;
    std::vector<Token> date;
    int meridiem = 0;  // 0 none, 1 AM, 2 PM
    bool timeDone = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        const bool afterTimeSep = i > 0 && tokens[i - 1].timeSep;
        if (t.kind == Token::kAm || t.kind == Token::kPm) {
            if (meridiem) return DISP_E_TYPEMISMATCH;
            if (time.empty()) {  // "5 PM": the number before is the hour
                if (date.empty() || date.back().kind != Token::kNumber) return DISP_E_TYPEMISMATCH;
                time = {date.back().value, 0};
                date.pop_back();
                timeDone = true;
            }
            meridiem = t.kind == Token::kAm ? 1 : 2;
        } else if (t.kind == Token::kNumber && (t.timeSep || afterTimeSep)) {
            if (timeDone && !afterTimeSep) return DISP_E_TYPEMISMATCH;
            time.push_back(t.value);
            if (!t.timeSep) timeDone = true;
        } else {
            date.push_back(t);
        }
    }
    if (time.size() == 1 || time.size() > 3) return DISP_E_TYPEMISMATCH;
    int hour = 0, minute = 0, second = 0;
    if (!time.empty()) {
        hour = time[0];
        minute = time[1];
        second = time.size() == 3 ? time[2] : 0;
        if (meridiem == 1 && hour == 12) hour = 0;
        if (meridiem == 2 && hour < 12) hour += 12;
        if (hour > 23 || minute > 59 || second > 59) return DISP_E_TYPEMISMATCH;
    }

    int year = 1899, month = 12, day = 30;
    if (!date.empty()) {
        hr = DateFromTokens(date, &year, &month, &day);
        if (FAILED(hr)) return hr;
    }
    // Added part by part, as the real one does, so that the last bit agrees.
    double value = static_cast<double>(DaysFromCivil(year, month, day) - kEpoch);
    const double sign = value < 0 ? -1.0 : 1.0;
    value += hour / 24.0 * sign;
    value += minute / 1440.0 * sign;
    value += second / 86400.0 * sign;
    *out = value;
    return S_OK;
}

bool DateInRange(double value) { return !(value <= -657435.0 || value >= 2958466.0); }

HRESULT FormatDate(DATE value, std::u16string* out) {
    if (std::isnan(value)) {  // what the real one shows for a NaN date
        *out = u"12/30/1899 12:00:00 AM";
        return S_OK;
    }
    if (!DateInRange(value)) return E_INVALIDARG;
    const double whole = value < 0 ? std::ceil(value) : std::floor(value);
    const double partial = value - whole;
    const bool timeOnly = whole == 0.0;
    const bool dateOnly = !timeOnly && partial > -1e-12 && partial < 1e-12;

    int year, month, day;
    CivilFromDays(kEpoch + static_cast<int64_t>(whole), &year, &month, &day);
    // Split the time as the real one does: a tiny bias against truncation, then round the
    // leftover fraction of a second, carrying into the next day if need be.
    double t = std::fabs(partial) + 0.00000000001;
    if (t >= 1.0) t -= 0.00000000001;
    t *= 24.0;
    int hour = static_cast<int>(t);
    t = (t - hour) * 60.0;
    int minute = static_cast<int>(t);
    t = (t - minute) * 60.0;
    int second = static_cast<int>(t);
    t -= second;
    if (t > 0.5 && ++second == 60) {
        second = 0;
        if (++minute == 60) {
            minute = 0;
            if (++hour == 24) {
                hour = 0;
                CivilFromDays(DaysFromCivil(year, month, day) + 1, &year, &month, &day);
            }
        }
    }

    char text[64] = "";
    size_t used = 0;
    if (!timeOnly) used = std::snprintf(text, sizeof text, "%d/%d/%d", month, day, year);
    if (!dateOnly) {
        std::snprintf(text + used, sizeof text - used, "%s%d:%02d:%02d %s", used ? " " : "",
                      hour % 12 == 0 ? 12 : hour % 12, minute, second, hour < 12 ? "AM" : "PM");
    }
    *out = Widen(text);
    return S_OK;
}

// ---- Number texts ---------------------------------------------------------------------

std::u16string FormatReal(double value, int precision) {
    char text[64];
    if (std::isnan(value) && std::signbit(value)) return u"-NAN(IND)";  // the CRT's form
    std::snprintf(text, sizeof text, "%.*G", precision, value);
    // No negative zero: "-0" (or "-0.000") reads as "0", as in the real one.
    if (text[0] == '-' && std::strspn(text + 1, "0.") == std::strlen(text + 1))
        std::memmove(text, text + 1, std::strlen(text));
    return Widen(text);
}

std::u16string FormatScaled(bool negative, uint32_t hi, uint64_t lo, int scale) {
    unsigned __int128 mantissa = (static_cast<unsigned __int128>(hi) << 64) | lo;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(mantissa % 10)));
        mantissa /= 10;
    } while (mantissa);
    while (static_cast<int>(digits.size()) <= scale) digits.insert(digits.begin(), '0');
    std::string text = digits.substr(0, digits.size() - scale);
    std::string fraction = digits.substr(digits.size() - scale);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    if (negative && (text != "0")) text.insert(text.begin(), '-');
    return Widen(text.c_str());
}

std::u16string FormatInteger(int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    return Widen(text);
}

std::u16string FormatUnsigned(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(value));
    return Widen(text);
}

}  // namespace qv_standin
