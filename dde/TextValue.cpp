#include "dde/TextValue.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "dde/XlTable.h"
#include "variant/text.h"

namespace {

// OLE dates count days from 1899-12-30; the types allow years 100 to 9999.
const long long kOleDayOfUnixEpoch = 25569;
const long long kFirstOleDay = -657434;  // 0100-01-01
const long long kLastOleDay = 2958465;   // 9999-12-31
const long long kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long* y, unsigned* m, unsigned* d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long long>(yoe) + era * 400 + (*m <= 2);
}

// The whole days count the calendar day; the fraction's size is the time of day, also
// for dates before 1899-12-30 (-1.25 is 1899-12-29 06:00).
std::string FormatDate(double date) {
    if (!std::isfinite(date) || date < kFirstOleDay - 1.0 || date > kLastOleDay + 1.0) return std::string();
    long long day = static_cast<long long>(date);  // towards zero
    long long seconds = std::llround(std::fabs(date - static_cast<double>(day)) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    if (day < kFirstOleDay || day > kLastOleDay) return std::string();
    long long y;
    unsigned m, d;
    CivilFromDays(day - kOleDayOfUnixEpoch, &y, &m, &d);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld", y, m, d, seconds / 3600,
                  seconds / 60 % 60, seconds % 60);
    return text;
}

std::string FormatCurrency(LONGLONG units) {
    const bool negative = units < 0;
    const unsigned long long magnitude =
        negative ? 0ull - static_cast<unsigned long long>(units) : static_cast<unsigned long long>(units);
    char text[40];
    int n = std::snprintf(text, sizeof text, "%s%llu", negative ? "-" : "", magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction != 0) {
        n += std::snprintf(text + n, sizeof text - n, ".%04u", fraction);
        while (text[n - 1] == '0') text[--n] = '\0';
    }
    return text;
}

std::string FormatSingle(float f) {
    if (!std::isfinite(f)) return std::string();
    if (f == 0) return "0";
    char text[32];
    // The fewest digits that give back the same single: 0.1f shows as 0.1, not as the
    // double it widens to.
    auto r = std::to_chars(text, text + sizeof text, f, std::chars_format::general);
    return std::string(text, r.ptr);
}

// The text of a poke without its zero byte and trailing line ends; false when it has no
// zero byte within the limit, so that it may have been cut.
bool PokedText(const BYTE* data, UINT size, std::string* text) {
    const UINT n = size < kTextPokeLimit ? size : kTextPokeLimit;
    const void* nul = std::memchr(data, 0, n);
    if (!nul && n == kTextPokeLimit) return false;
    size_t length = nul ? static_cast<const BYTE*>(nul) - data : n;
    while (length > 0 && (data[length - 1] == '\r' || data[length - 1] == '\n')) --length;
    text->assign(reinterpret_cast<const char*>(data), length);
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A whole decimal number (blanks around it and a leading '+' allowed), finite and in
// range; never the locale's decimal separator.
bool ParseNumber(const std::string& text, double* out) {
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && IsBlank(*p)) ++p;
    while (end > p && IsBlank(end[-1])) --end;
    if (p < end && *p == '+' && end - p > 1 && p[1] != '-') ++p;
    double d = 0;
    auto r = std::from_chars(p, end, d, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != end || !std::isfinite(d)) return false;
    *out = d;
    return true;
}

bool SameLetters(const std::string& text, const char* word) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    if (end - begin != std::strlen(word)) return false;
    for (size_t i = begin; i < end; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i - begin]) return false;
    }
    return true;
}

bool ParseBool(const std::string& text, bool* out) {
    if (SameLetters(text, "TRUE")) return *out = true, true;
    if (SameLetters(text, "FALSE")) return *out = false, true;
    double d;
    if (!ParseNumber(text, &d)) return false;
    *out = d != 0;
    return true;
}

// "YYYY-MM-DD", optionally followed by a blank or "T" and "HH:MM" or "HH:MM:SS".
bool ParseDate(const std::string& text, double* out) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    int used = 0;
    const char* p = text.c_str();
    while (IsBlank(*p)) ++p;
    if (std::sscanf(p, "%4u-%2u-%2u%n", &y, &mo, &d, &used) != 3) return false;
    p += used;
    if (*p == ' ' || *p == 'T') {
        used = 0;
        const int fields = std::sscanf(p + 1, "%2u:%2u%n:%2u%n", &h, &mi, &used, &s, &used);
        if (fields < 2) return false;
        p += 1 + used;
    }
    while (IsBlank(*p)) ++p;
    if (*p != '\0' || y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
    const long long day = DaysFromCivil(y, mo, d) + kOleDayOfUnixEpoch;
    long long check;
    unsigned cm, cd;
    CivilFromDays(day - kOleDayOfUnixEpoch, &check, &cm, &cd);
    if (cd != d) return false;  // 31 April and the like
    const double fraction = (h * 3600.0 + mi * 60.0 + s) / kSecondsPerDay;
    *out = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
    return true;
}

bool IsNumberType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

// The poked text as a value of its own kind, for an item that has no value yet.
BOOL DecodeOwnType(const std::string& text, VARIANT* result) {
    double d;
    if (SameLetters(text, "TRUE") || SameLetters(text, "FALSE")) {
        result->vt = VT_BOOL;
        result->boolVal = SameLetters(text, "TRUE") ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (ParseNumber(text, &d)) {
        result->vt = VT_R8;
        result->dblVal = d;
    } else {
        BSTR s = BstrFromAnsi(text.data(), text.size());
        if (!s) return FALSE;
        result->vt = VT_BSTR;
        result->bstrVal = s;
    }
    return TRUE;
}

}  // namespace

std::string VarTypeName(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
            return "VT_EMPTY";
        case VT_NULL:
            return "VT_NULL";
        case VT_I1:
            return "VT_I1";
        case VT_I2:
            return "VT_I2";
        case VT_I4:
            return "VT_I4";
        case VT_I8:
            return "VT_I8";
        case VT_UI1:
            return "VT_UI1";
        case VT_UI2:
            return "VT_UI2";
        case VT_UI4:
            return "VT_UI4";
        case VT_UI8:
            return "VT_UI8";
        case VT_INT:
            return "VT_INT";
        case VT_UINT:
            return "VT_UINT";
        case VT_R4:
            return "VT_R4";
        case VT_R8:
            return "VT_R8";
        case VT_CY:
            return "VT_CY";
        case VT_DATE:
            return "VT_DATE";
        case VT_BSTR:
            return "VT_BSTR";
        case VT_BOOL:
            return "VT_BOOL";
        default:
            return "VT " + std::to_string(vt);
    }
}

std::string FormatTextNumber(double d) {
    if (!std::isfinite(d)) return std::string();
    if (d == 0) return "0";  // also -0
    char text[32];
    auto r = std::to_chars(text, text + sizeof text, d, std::chars_format::general, 15);
    return std::string(text, r.ptr);
}

BOOL FormatTextValue(const VARIANT& value, std::string* text) {
    if (!text) return FALSE;
    text->clear();
    std::string shown;
    switch (value.vt) {
        case VT_EMPTY:
            break;
        case VT_BSTR:
            if (value.bstrVal) shown = AnsiFromWide(value.bstrVal, SysStringLen(value.bstrVal));
            shown.resize(std::strlen(shown.c_str()));  // an embedded NUL ends the text
            break;
        case VT_BOOL:
            shown = value.boolVal != 0 ? "TRUE" : "FALSE";
            break;
        case VT_DATE:
            shown = FormatDate(value.date);
            if (shown.empty()) return FALSE;
            break;
        case VT_CY:
            shown = FormatCurrency(value.cyVal.int64);
            break;
        case VT_R4:
            shown = FormatSingle(value.fltVal);
            if (shown.empty()) return FALSE;
            break;
        default: {
            VARIANT number;
            VariantInit(&number);
            // VariantChangeType does not change its source; the SDK just does not declare it const.
            if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_R8))) return FALSE;
            shown = FormatTextNumber(number.dblVal);
            VariantClear(&number);
            if (shown.empty()) return FALSE;
        }
    }
    *text = shown;
    text->push_back('\0');
    return TRUE;
}

BOOL DecodeTextPoke(const BYTE* data, UINT size, VARTYPE target, VARIANT* result) {
    if (!result) return FALSE;
    VariantInit(result);
    if (!data) return FALSE;
    std::string text;
    if (!PokedText(data, size, &text)) return FALSE;
    if (target == VT_EMPTY) return DecodeOwnType(text, result);

    VARIANT value;
    VariantInit(&value);
    double d;
    bool b;
    if (target == VT_BSTR) {
        value.vt = VT_BSTR;
        value.bstrVal = BstrFromAnsi(text.data(), text.size());
        if (!value.bstrVal) return FALSE;
    } else if (target == VT_BOOL) {
        if (!ParseBool(text, &b)) return FALSE;
        value.vt = VT_BOOL;
        value.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (target == VT_DATE) {
        if (!ParseDate(text, &d)) return FALSE;
        value.vt = VT_DATE;
        value.date = d;
    } else if (IsNumberType(target)) {
        if (!ParseNumber(text, &d)) return FALSE;
        value.vt = VT_R8;
        value.dblVal = d;
    } else {
        value.vt = VT_BSTR;
        value.bstrVal = BstrFromAnsi(text.data(), text.size());
        if (!value.bstrVal) return FALSE;
    }
    return ConvertPokedValue(&value, target, result);
}
