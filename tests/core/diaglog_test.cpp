// The diagnostic log's lines and its rotation with two old files kept.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "persist/DiagEvents.h"
#include "persist/DiagLog.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(DiagLog, WritesBoundedOneLineEventsAndRotatesKeepingTwoOldFiles) {
    const std::string path = testing::TempDir() + "qv_diaglog_test.log";
    for (const char* suffix : {"", ".1", ".2", ".3"}) std::remove((path + suffix).c_str());
    const size_t limit = 4000;
    DiagLog::Open(path, limit);

    DiagLog::LogPokeRefused("Line1", "Temp", std::string(300, 'v') + "\r\nsecond");
    std::string first = Slurp(path);
    std::regex shape(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[dde\] poke refused: Line1!Temp: v{100}\.\.\.\r\n$)");
    EXPECT_TRUE(std::regex_match(first, shape)) << first;

    DiagLog::Write("app", "%s", std::string(5000, 'x').c_str());  // cut to one bounded line
    for (int i = 0; i < 200; ++i) DiagLog::Write("test", "event %d", i);
    DiagLog::Close();
    DiagLog::Write("test", "after close: dropped");

    std::string current = Slurp(path), one = Slurp(path + ".1"), two = Slurp(path + ".2");
    EXPECT_FALSE(std::ifstream(path + ".3").good());
    for (const std::string* f : {&current, &one, &two}) {
        EXPECT_FALSE(f->empty());
        EXPECT_LE(f->size(), limit);
    }
    EXPECT_NE(current.find("event 199\r\n"), std::string::npos);
    EXPECT_EQ(current.find("dropped"), std::string::npos);
    EXPECT_EQ(one.find("event 199"), std::string::npos);
    // The newest lines are whole: each file ends with a line end.
    EXPECT_EQ(current.substr(current.size() - 2), "\r\n");
    for (const char* suffix : {"", ".1", ".2"}) std::remove((path + suffix).c_str());
}

TEST(DiagLog, NamesResultCodesEvenWithoutASystemMessage) {
    EXPECT_EQ(DiagLog::HResultText(0x80040154L).substr(0, 10), "0x80040154");
    EXPECT_EQ(DiagLog::HResultText(-2147467259L).substr(0, 10), "0x80004005");
}

}  // namespace
