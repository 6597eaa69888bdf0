#pragma once
// Clock times in whole seconds since 1970-01-01 00:00 UTC, shown in local time.
//
// Local time is taken from the operating system's time zone, never from the C runtime's
// own TZ parsing: on Windows through Win32 (which is also right under Wine, where the
// runtime misreads zone names such as Europe/Berlin), on other systems through
// localtime_r. Format shows each instant with the offset that was in force at that
// instant (daylight saving time included).
#ifdef _WIN32
#include <windows.h>
// winbase.h turns GetCurrentTime() into GetTickCount(); this class needs the name.
#undef GetCurrentTime
#endif
#include <ctime>

#include "win/CString.h"

class CTime {
  public:
    // Instants that can be shown: 1970-01-01 00:00:00 to 3000-12-31 23:59:59 UTC.
    static constexpr long long kMin = 0;
    static constexpr long long kMax = 32535215999LL;

    CTime() = default;
    explicit CTime(long long secondsSince1970) : m_time(secondsSince1970) {}

    static CTime GetCurrentTime();

    // strftime conversion of the local time. Refused (empty text): an instant outside the
    // range above, a format of more than 200 bytes or with a conversion other than
    // %a %A %b %B %c %d %H %I %j %m %M %p %S %U %w %W %x %X %y %Y %%, or a result of
    // 1024 bytes or more.
    CString Format(const char* format) const;

    bool operator==(const CTime& o) const { return m_time == o.m_time; }
    bool operator!=(const CTime& o) const { return m_time != o.m_time; }

  private:
    long long m_time = 0;
};

// The computer's current offset of local time from UTC in seconds (east of Greenwich
// positive), daylight saving time included if it is in force now.
long long CurrentUtcOffsetSeconds();
