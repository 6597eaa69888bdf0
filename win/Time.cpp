#include "win/Time.h"

#include <cstring>

namespace {

const size_t kMaxFormatLength = 200;
const size_t kResultSize = 1024;

// Conversions that both C runtimes (msvcrt and glibc) implement alike. Anything else is
// refused rather than handed on: msvcrt treats an unknown conversion as an invalid
// parameter, which may end the process.
bool FormatAllowed(const char* format) {
    if (!format || std::strlen(format) > kMaxFormatLength) return false;
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (!*p || !std::strchr("aAbBcdHIjmMpSUwWxXyY%", *p)) return false;
    }
    return true;
}

#ifdef _WIN32
const long long kSecondsFrom1601To1970 = 11644473600LL;
const long long kTicksPerSecond = 10000000LL;

int DayOfYear(int year, int month, int day) {
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return before[month - 1] + (leap && month > 2 ? 1 : 0) + day - 1;
}

bool ToLocalTm(long long t, struct tm* out) {
    ULONGLONG ticks = static_cast<ULONGLONG>(t + kSecondsFrom1601To1970) * kTicksPerSecond;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME utc, local;
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return false;
    std::memset(out, 0, sizeof *out);
    out->tm_year = local.wYear - 1900;
    out->tm_mon = local.wMonth - 1;
    out->tm_mday = local.wDay;
    out->tm_hour = local.wHour;
    out->tm_min = local.wMinute;
    out->tm_sec = local.wSecond;
    out->tm_wday = local.wDayOfWeek;
    out->tm_yday = DayOfYear(local.wYear, local.wMonth, local.wDay);
    return true;
}
#else
bool ToLocalTm(long long t, struct tm* out) {
    tzset();  // follow a change of the zone while the program runs
    time_t value = static_cast<time_t>(t);
    return localtime_r(&value, out) != nullptr;
}
#endif

}  // namespace

CTime CTime::GetCurrentTime() {
#ifdef _WIN32
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULONGLONG ticks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return CTime(static_cast<long long>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970);
#else
    return CTime(static_cast<long long>(time(nullptr)));
#endif
}

CString CTime::Format(const char* format) const {
    if (m_time < kMin || m_time > kMax || !FormatAllowed(format) || !*format) return CString();
    struct tm local;
    if (!ToLocalTm(m_time, &local)) return CString();
    char buffer[kResultSize];
    size_t length = strftime(buffer, sizeof buffer, format, &local);
    return CString(buffer, static_cast<int>(length));
}

long long CurrentUtcOffsetSeconds() {
#ifdef _WIN32
    // FileTimeToLocalFileTime applies the bias in force now, whatever the instant.
    FILETIME utc, local;
    GetSystemTimeAsFileTime(&utc);
    if (!FileTimeToLocalFileTime(&utc, &local)) return 0;
    LONGLONG u = static_cast<LONGLONG>((static_cast<ULONGLONG>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime);
    LONGLONG l = static_cast<LONGLONG>((static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime);
    return (l - u) / kTicksPerSecond;
#else
    tzset();
    time_t now = time(nullptr);
    struct tm local;
    if (!localtime_r(&now, &local)) return 0;
    return local.tm_gmtoff;
#endif
}
