// Clock times and timestamps in local time. The zone cases run on the host with TZ set
// by the test; under Wine a program cannot change its zone (Wine reads the Linux TZ of the
// wine process, and a child started with TZ in its Windows environment still gets its
// parent's zone), so scripts/in-zone.sh starts the tests with TZ set and names the zone in
// QV_TEST_ZONE, and zone tests for any other zone are skipped there.
#include "win/Time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "ui/ValueText.h"

namespace {

// A zone test's zone: on the host TZ, set for the test and restored after it; under Wine
// only the zone scripts/in-zone.sh set is active.
struct TestZone {
    explicit TestZone(const char* zone) {
#ifdef _WIN32
        const char* active = std::getenv("QV_TEST_ZONE");
        m_bActive = active && std::string(active) == zone;
#else
        if (const char* old = std::getenv("TZ")) m_bHadOld = true, m_old = old;
        setenv("TZ", zone, 1);
        tzset();
#endif
    }
    ~TestZone() {
#ifndef _WIN32
        m_bHadOld ? setenv("TZ", m_old.c_str(), 1) : unsetenv("TZ");
        tzset();
#endif
    }
    bool m_bActive = true, m_bHadOld = false;
    std::string m_old;
};

#define QV_IN_ZONE(zone)   \
    TestZone qvZone(zone); \
    if (!qvZone.m_bActive) GTEST_SKIP() << "runs under scripts/in-zone.sh " << zone

const long long kJan15 = 1705320005;        // 2024-01-15 12:00:05 UTC
const long long kJul15 = 1721044805;        // 2024-07-15 12:00:05 UTC
const long long kNewYearsEve = 1704065400;  // 2023-12-31 23:30:00 UTC
const long long kEvening = 1705348800;      // 2024-01-15 20:00:00 UTC
const char* kStatus = "Connected: %H:%M:%S %d-%B-%Y";

// The FILETIME timestamp of seconds since 1970 (negative: before).
std::string Stamp(long long seconds) {
    const unsigned long long ticks = static_cast<unsigned long long>(seconds + 11644473600LL) * 10000000ull;
    const FILETIME ft = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    return static_cast<const char*>(FormatTimestamp(ft));
}
const long long k1601 = -11644473600LL;  // FILETIME 0

TEST(CTime, CurrentTimeIsSecondsSince1970) {
    const long long before = static_cast<long long>(std::time(nullptr));
    const CTime now = CTime::GetCurrentTime();
    const long long after = static_cast<long long>(std::time(nullptr));
    bool within = false;
    for (long long t = before; t <= after; ++t) within = within || now == CTime(t);
    EXPECT_TRUE(within);
    EXPECT_TRUE(CTime() == CTime(0) && CTime(5) != CTime(6));
}

TEST(CTime, RefusesWhatItCannotFormatSafely) {
    CTime t(kJan15);
    for (const char* refused : {static_cast<const char*>(nullptr), "", "%", "%Q", "%Ey", "%z"})
        EXPECT_TRUE(t.Format(refused).IsEmpty()) << (refused ? refused : "null");
    EXPECT_TRUE(t.Format(std::string(201, 'x').c_str()).IsEmpty());
    EXPECT_EQ(t.Format(std::string(200, 'x').c_str()).GetLength(), 200);
    std::string many;
    for (int i = 0; i < 100; ++i) many += "%c";  // well over 1024 bytes of result
    EXPECT_TRUE(t.Format(many.c_str()).IsEmpty());
    EXPECT_STREQ(t.Format("100%% at %Y"), "100% at 2024");

    // Range: 1970 (CTime(0) in the zone tests) to the end of the year 3000, UTC.
    EXPECT_TRUE(CTime(-1).Format("%Y").IsEmpty());
    EXPECT_TRUE(CTime(CTime::kMax + 1).Format("%Y").IsEmpty());
    EXPECT_STREQ(CTime(CTime::kMax - 2 * 86400).Format("%Y"), "3000");
}

TEST(FormatTimestamp, AlwaysATimeOfDayWithFourBlanks) {
    for (unsigned long long ticks : {0ull, 0x7FFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull}) {
        const FILETIME ft = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        const std::string s = static_cast<const char*>(FormatTimestamp(ft));
        EXPECT_TRUE(s.size() == 12 && s[2] == ':' && s[5] == ':' && s.substr(8) == "    " && s.substr(0, 2) <= "23" &&
                    s.substr(3, 2) <= "59" && s.substr(6, 2) <= "59")
            << ticks << ": " << s;
    }
    EXPECT_EQ(Stamp(kJan15).substr(5), ":05    ");  // whatever the zone, the seconds are the instant's
}

TEST(TimeInZone, OneHourAheadWithoutDaylightSaving) {
    QV_IN_ZONE("Etc/GMT-1");
    EXPECT_EQ(CurrentUtcOffsetSeconds(), 3600);
    EXPECT_STREQ(CTime(kJan15).Format(kStatus), "Connected: 13:00:05 15-January-2024");
    EXPECT_STREQ(CTime(kJan15).Format("    Last Updated: %H:%M:%S %d-%b-%Y"), "    Last Updated: 13:00:05 15-Jan-2024");
    EXPECT_STREQ(CTime(kJul15).Format(kStatus), "Connected: 13:00:05 15-July-2024");
    EXPECT_STREQ(CTime(kNewYearsEve).Format("%Y-%m-%d %H:%M %j %a %A %w"), "2024-01-01 00:30 001 Mon Monday 1");
    EXPECT_STREQ(CTime(0).Format("%H:%M:%S %d-%B-%Y"), "01:00:00 01-January-1970");
    EXPECT_STREQ(CTime(CTime::kMax).Format("%Y-%m-%d %H:%M:%S"), "3001-01-01 00:59:59");
    EXPECT_EQ(Stamp(kJan15), "13:00:05    ");
    EXPECT_EQ(Stamp(kNewYearsEve), "00:30:00    ");
    EXPECT_EQ(Stamp(k1601), "01:00:00    ");
}

// A clock time takes the offset in force at its instant; a timestamp the current one.
TEST(TimeInZone, DaylightSavingPerInstantForClockTimesOnlyTheCurrentForTimestamps) {
    QV_IN_ZONE("America/New_York");
    long long offset = CurrentUtcOffsetSeconds();
    EXPECT_TRUE(offset == -5 * 3600 || offset == -4 * 3600) << offset;
    EXPECT_STREQ(CTime(kJan15).Format(kStatus), "Connected: 07:00:05 15-January-2024");
    EXPECT_STREQ(CTime(kJul15).Format(kStatus), "Connected: 08:00:05 15-July-2024");
    EXPECT_STREQ(CTime(0).Format("%H:%M:%S %d-%B-%Y %I %p"), "19:00:00 31-December-1969 07 PM");
    std::string jan = Stamp(kJan15);
    EXPECT_EQ(jan, offset == -5 * 3600 ? "07:00:05    " : "08:00:05    ");
    EXPECT_EQ(Stamp(kJul15), jan);
    EXPECT_EQ(Stamp(k1601), offset == -5 * 3600 ? "19:00:00    " : "20:00:00    ");  // back over midnight
}

TEST(TimeInZone, HalfHourOffset) {
    QV_IN_ZONE("Asia/Kolkata");
    EXPECT_EQ(CurrentUtcOffsetSeconds(), 19800);
    EXPECT_STREQ(CTime(kNewYearsEve).Format("%d %H:%M"), "01 05:00");
    EXPECT_EQ(Stamp(kJan15), "17:30:05    ");
    EXPECT_EQ(Stamp(kEvening), "01:30:00    ");
}

}  // namespace
