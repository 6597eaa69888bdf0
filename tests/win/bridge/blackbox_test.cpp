// The run command's road, seen only from outside: quorvane.exe started from a written
// configuration, items watched with the qvdde tool in its own process, a writable item
// poked with the tool and the change seen coming back, the window closed, and the saved
// configuration compared byte for byte with what the file format prescribes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/win/bridge/bridge_env.h"
#include "tests/win/support/tools.h"

namespace {

const char kSim[] = "Quorvane.Simulation.1";

// "value <seq> <time> <item> <kind> <value>" -> its parts, or false.
bool ParseValueLine(const std::string& line, std::string* item, std::string* kind, std::string* value) {
    std::istringstream in(line);
    std::string tag, seq, time;
    if (!(in >> tag >> seq >> time >> *item >> *kind) || tag != "value") return false;
    std::getline(in >> std::ws, *value);
    return true;
}

TEST(BridgeBlackBox, WatchPokeCloseAndSavedConfiguration) {
    const qvtest::ConfigConnection line1 = bridge::Conn("Line1", {"Plant.Line1.Counter", "Static.R8"}, kSim, 500),
                                   line2 = bridge::Conn("Line Two", {"Plant.Line2.State"}, kSim, 1000);
    const std::string config = qvtest::ConfigText({line1, line2});

    bridge::Bridge b;
    std::string why;
    ASSERT_TRUE(b.Start({line1, line2}));

    auto watch = qvtest::StartTool("qvdde",
                                   {"--topic", "Line1", "--format", "4", "--advise", "Plant.Line1.Counter", "--advise",
                                    "Static.R8", "--seconds", "60"},
                                   &why);
    ASSERT_TRUE(watch) << why;
    ASSERT_TRUE(watch->WaitLine("connected Quorvane Line1", 10000)) << watch->err()->Rest();
    ASSERT_TRUE(watch->WaitLine("advise Plant.Line1.Counter started", 10000)) << watch->err()->Rest();
    ASSERT_TRUE(watch->WaitLine("advise Static.R8 started", 10000)) << watch->err()->Rest();

    // Counter values arrive and grow; Static.R8 gets its first value from the flush.
    long lastCounter = -1;
    int counterValues = 0;
    double r8 = 0;
    bool haveR8 = false;
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while ((counterValues < 3 || !haveR8) && GetTickCount64() < deadline) {
        auto line = watch->out()->Next(500);
        std::string item, kind, value;
        if (!line || !ParseValueLine(*line, &item, &kind, &value)) continue;
        ASSERT_EQ("number", kind) << *line;
        if (item == "Plant.Line1.Counter") {
            // The flush after the advise start may repeat the current value once.
            long v = std::atol(value.c_str());
            EXPECT_GE(v, lastCounter) << *line;
            counterValues += v > lastCounter;
            lastCounter = v;
        } else if (item == "Static.R8") {
            r8 = std::atof(value.c_str());
            haveR8 = true;
        }
    }
    EXPECT_GE(counterValues, 3) << "the watching tool saw " << counterValues << " counter values";
    ASSERT_TRUE(haveR8) << "no first value for Static.R8";

    const std::string poked = r8 == 321.25 ? "321.5" : "321.25";
    qvtest::ToolRun poke =
        qvtest::RunTool("qvdde", {"--topic", "Line1", "--format", "4", "--poke", "Static.R8", poked, "--as", "number"});
    ASSERT_TRUE(poke.finished && poke.exitCode == 0) << poke.Describe();
    ASSERT_FALSE(poke.out.empty());
    EXPECT_EQ(0u, poke.out.back().rfind("poke Static.R8 ok", 0)) << poke.Describe();

    bool cameBack = false;
    const ULONGLONG pokeDeadline = GetTickCount64() + 5000;
    while (!cameBack && GetTickCount64() < pokeDeadline) {
        auto line = watch->out()->Next(500);
        std::string item, kind, value;
        if (line && ParseValueLine(*line, &item, &kind, &value) && item == "Static.R8")
            cameBack = std::atof(value.c_str()) == std::atof(poked.c_str());
    }
    EXPECT_TRUE(cameBack) << "the watcher never saw Static.R8 = " << poked;

    // A refused poke is reported by the tool with a non-zero exit.
    qvtest::ToolRun refused =
        qvtest::RunTool("qvdde", {"--topic", "Line1", "--format", "4", "--poke", "Static.R8", "abc", "--as", "text"});
    EXPECT_TRUE(refused.finished && refused.exitCode == 5) << refused.Describe();

    ASSERT_TRUE(b.app().Close(15000));
    watch->Terminate();
    std::string saved;
    ASSERT_TRUE(b.app().folder().ReadConfig(&saved)) << "no configuration file after closing";
    EXPECT_EQ(config, saved);
}

TEST(BridgeBlackBox, NoConfigurationStartsEmptyAndSavesTwoEntries) {
    bridge::Bridge b;
    qvtest::QuorvaneApp& app = b.app();
    ASSERT_TRUE(app.Start(std::string()));
    EXPECT_EQ(0, app.TabCount());
    EXPECT_EQ("<<<<<<<<<<< No Server Connections >>>>>>>>>>", app.Text(IDC_STATUS));
    EXPECT_EQ(bridge::kCaptionConnect, app.Text(IDC_CONNECT));
    EXPECT_FALSE(app.Enabled(IDC_ADD_ITEM));
    EXPECT_TRUE(app.Enabled(IDC_SUSPEND));
    EXPECT_FALSE(app.Enabled(IDC_RESUME));
    // No topic exists, so every connect is refused.
    qvtest::ToolRun run = qvtest::RunTool("qvdde", {"--topic", "Line1", "--advise", "Plant.Line1.Counter"});
    EXPECT_TRUE(run.finished && run.exitCode == 3) << run.Describe();
    ASSERT_TRUE(app.Close(15000));
    std::string saved;
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    EXPECT_EQ("FileRev = 1.00\r\nNumber Of Connections = 0\r\n", saved);
}

}  // namespace
