// qvopc.exe, the command-line check of an OPC server, run as a user runs it.
#include "Harness.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace kbt;

namespace {

struct Result {
    int code = -1;
    std::string out;  // stdout and stderr together
};

Result Qvopc(const std::string& arguments) {
    std::vector<std::string> args;
    std::istringstream words(arguments);
    for (std::string w; words >> w;) args.push_back(w);
    qvtest::ToolRun run = qvtest::RunTool("qvopc", args);
    Result r{run.finished ? int(run.exitCode) : -1, run.err};
    for (const std::string& line : run.out) r.out += line + "\n";
    return r;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Tool, ListsBrowsesWatchesAndWrites) {
    Result list = Qvopc("list");
    EXPECT_EQ(list.code, 0) << list.out;
    EXPECT_TRUE(Contains(list.out, "Quorvane.Simulation.1")) << list.out;

    Result browse = Qvopc("browse Quorvane.Simulation.1 Devices.Boiler");
    EXPECT_EQ(browse.code, 0) << browse.out;
    EXPECT_TRUE(Contains(browse.out, "DEV:boiler/pressure")) << browse.out;

    // Up to 10 s for the echo (the tool returns as soon as it comes): one scan of a loaded
    // machine can take longer than the tool's default wait.
    Result write = Qvopc("write Quorvane.Simulation.1 Static.I2 -77 --seconds 10");
    EXPECT_EQ(write.code, 0) << write.out;
    EXPECT_TRUE(Contains(write.out, "-77")) << write.out;  // the value came back as a data change
    Result watch = Qvopc("watch Quorvane.Simulation.1 Static.I2 --seconds 1 --rate 200");
    EXPECT_EQ(watch.code, 0) << watch.out;
    EXPECT_TRUE(Contains(watch.out, "Static.I2")) << watch.out;
    EXPECT_TRUE(Contains(watch.out, "-77")) << watch.out;
    EXPECT_EQ(Qvopc("write Quorvane.Simulation.1 Static.I2 -1600").code, 0);
}

TEST(Tool, RefusalsExitNonZeroWithAReason) {
    const struct {
        const char* args;
        int code;
        const char* reason;
    } cases[] = {
        {"write Quorvane.Simulation.1 Static.ReadOnly 5", 1, "refused the value"},
        {"watch Quorvane.Simulation.1 No.Such.Item --seconds 0", 1, "refused item 'No.Such.Item'"},
        {"browse No.Such.Server", 1, "cannot connect"},
        {"write Quorvane.Simulation.1 Static.R8 abc --type r8", 1, ""},
        {"frobnicate", 2, ""},
        {"watch Quorvane.Simulation.1 Static.R8 --rate -5", 2, ""},
    };
    for (const auto& c : cases) {
        Result r = Qvopc(c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.out;
        EXPECT_TRUE(Contains(r.out, c.reason)) << c.args << "\n" << r.out;
    }
}
