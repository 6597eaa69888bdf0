#include "ui/ValueText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "variant/text.h"
#include "win/Time.h"

namespace {

CString Printed(const char* format, ...)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// snprintf into the fixed value buffer: a longer text is cut, never overruns.
CString Printed(const char* format, ...) {
    char buffer[kValueTextSize];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return CString();
    return CString(buffer);
}

}  // namespace

CString FormatVariant(const VARIANT& value) {
    switch (value.vt) {
        case VT_I2:
            return Printed("%d ", static_cast<int>(value.iVal));
        case VT_I4:
            return Printed("%ld ", static_cast<long>(value.lVal));
        case VT_R4:
            return Printed("%5.2f ", static_cast<double>(value.fltVal));
        case VT_R8:
            return Printed("%9.4f ", value.dblVal);
        case VT_BSTR: {
            std::string text;
            if (value.bstrVal) text = AnsiFromWide(value.bstrVal, SysStringLen(value.bstrVal));
            return Printed("%s ", text.c_str());  // an embedded NUL ends the text
        }
        case VT_BOOL:
            return CString(value.boolVal != 0 ? "TRUE" : "FALSE");
        case VT_I1:
            return Printed("%d ", static_cast<int>(static_cast<unsigned char>(value.cVal)));
        case VT_UI1:
            return Printed("%d ", static_cast<int>(value.bVal));
        case VT_UI2:
            return Printed("%d ", static_cast<int>(value.uiVal));
        // The 32-bit unsigned types are shown as signed, as the list always has.
        case VT_UI4:
            return Printed("%ld ", static_cast<long>(static_cast<LONG>(value.ulVal)));
        case VT_INT:
            return Printed("%ld ", static_cast<long>(value.intVal));
        case VT_UINT:
            return Printed("%ld ", static_cast<long>(static_cast<INT>(value.uintVal)));
        default:
            return Printed(" unknown type:%d ", static_cast<int>(value.vt));
    }
}

const char* QualityText(DWORD quality) {
    if (quality == 0xC0) return "Good";
    if (quality == 0) return "Bad";
    return "Uncertain";
}

CString FormatTimestamp(const FILETIME& ft) {
    const unsigned long long kTicksPerSecond = 10000000ull;
    const long long kSecondsPerDay = 86400;
    unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    // Only the time of day is shown, so the arithmetic is done modulo one day: this works
    // for every FILETIME, also those the calendar conversions refuse.
    long long secondOfDay = static_cast<long long>((ticks / kTicksPerSecond) % kSecondsPerDay);
    secondOfDay = (secondOfDay + CurrentUtcOffsetSeconds() % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d    ", static_cast<int>(secondOfDay / 3600),
                  static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
    return CString(buffer);
}
