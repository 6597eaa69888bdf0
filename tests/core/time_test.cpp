#include "win/Time.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "tests/core/TestZone.h"

namespace {
const long long kJan15 = 1705320005;        // 2024-01-15 12:00:05 UTC
const long long kJul15 = 1721044805;        // 2024-07-15 12:00:05 UTC
const long long kNewYearsEve = 1704065400;  // 2023-12-31 23:30:00 UTC
const char* kStatus = "Connected: %H:%M:%S %d-%B-%Y";
}  // namespace

TEST(CTime, CurrentTimeIsSecondsSince1970) {
    long long before = static_cast<long long>(std::time(nullptr));
    long long now = CTime::GetCurrentTime().GetTime();
    long long after = static_cast<long long>(std::time(nullptr));
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

TEST(CTime, ComparesBySeconds) {
    EXPECT_TRUE(CTime(5) == CTime(5));
    EXPECT_TRUE(CTime(5) != CTime(6));
    EXPECT_TRUE(CTime(5) < CTime(6));
    EXPECT_TRUE(CTime(6) > CTime(5));
    EXPECT_TRUE(CTime(5) <= CTime(5));
    EXPECT_TRUE(CTime(5) >= CTime(5));
    EXPECT_EQ(CTime().GetTime(), 0);
}

TEST(CTime, RefusesWhatItCannotFormatSafely) {
    CTime t(kJan15);
    EXPECT_FALSE(t.Format("%H:%M").IsEmpty());
    EXPECT_TRUE(t.Format(nullptr).IsEmpty());
    EXPECT_TRUE(t.Format("").IsEmpty());
    EXPECT_TRUE(t.Format("%").IsEmpty());    // a conversion cut off
    EXPECT_TRUE(t.Format("%Q").IsEmpty());   // unknown conversion
    EXPECT_TRUE(t.Format("%Ey").IsEmpty());  // modifiers differ between runtimes
    EXPECT_TRUE(t.Format("%z").IsEmpty());
    EXPECT_TRUE(t.Format(std::string(201, 'x').c_str()).IsEmpty());
    EXPECT_EQ(t.Format(std::string(200, 'x').c_str()).GetLength(), 200);
    std::string many;
    for (int i = 0; i < 100; ++i) many += "%c";  // well over 1024 bytes of result
    EXPECT_TRUE(t.Format(many.c_str()).IsEmpty());
    EXPECT_STREQ(t.Format("100%% at %Y"), "100% at 2024");

    // Range: 1970 to the end of the year 3000, UTC.
    EXPECT_TRUE(CTime(-1).Format("%Y").IsEmpty());
    EXPECT_TRUE(CTime(CTime::kMax + 1).Format("%Y").IsEmpty());
    EXPECT_STREQ(CTime(CTime::kMax - 2 * 86400).Format("%Y"), "3000");
    EXPECT_FALSE(CTime(CTime::kMin + 2 * 86400).Format("%Y").IsEmpty());
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
}

TEST(TimeInZone, EachInstantWithItsOwnDaylightSavingOffset) {
    QV_IN_ZONE("America/New_York");
    long long offset = CurrentUtcOffsetSeconds();
    EXPECT_TRUE(offset == -5 * 3600 || offset == -4 * 3600) << offset;
    EXPECT_STREQ(CTime(kJan15).Format(kStatus), "Connected: 07:00:05 15-January-2024");
    EXPECT_STREQ(CTime(kJul15).Format(kStatus), "Connected: 08:00:05 15-July-2024");
    EXPECT_STREQ(CTime(0).Format("%H:%M:%S %d-%B-%Y %I %p"), "19:00:00 31-December-1969 07 PM");
}

TEST(TimeInZone, HalfHourOffset) {
    QV_IN_ZONE("Asia/Kolkata");
    EXPECT_EQ(CurrentUtcOffsetSeconds(), 19800);
    EXPECT_STREQ(CTime(kNewYearsEve).Format("%d %H:%M"), "01 05:00");
}
