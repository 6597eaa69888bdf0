// qvopc.exe, the command-line check of an OPC server, run as a user runs it.
#include "Harness.h"

#include <sstream>

using namespace kbt;

namespace {

// The tool's exit code (-1: killed at the timeout) and its output, stdout and stderr together.
int Qvopc(const std::string& arguments, std::string* out) {
    std::vector<std::string> args;
    std::istringstream words(arguments);
    for (std::string w; words >> w;) args.push_back(w);
    qvtest::ToolRun run = qvtest::RunTool("qvopc", args);
    *out = run.err;
    for (const std::string& line : run.out) *out += line + "\n";
    return run.finished ? int(run.exitCode) : -1;
}

}  // namespace

// In order: the write's value is what the watch then sees, and the last write puts the
// item back. Up to 10 s for the write's echo (the tool returns as soon as it comes): one
// scan of a loaded machine can take longer than the tool's default wait.
TEST(Tool, ListsBrowsesWatchesWritesAndRefusesWithAReason) {
    const struct {
        const char* args;
        int code;
        const char* shown[2];
    } cases[] = {
        {"list", 0, {"Quorvane.Simulation.1"}},
        {"browse Quorvane.Simulation.1 Devices.Boiler", 0, {"DEV:boiler/pressure"}},
        {"write Quorvane.Simulation.1 Static.I2 -77 --seconds 10", 0, {"-77"}},  // came back as a data change
        {"watch Quorvane.Simulation.1 Static.I2 --seconds 1 --rate 200", 0, {"Static.I2", "-77"}},
        {"write Quorvane.Simulation.1 Static.I2 -1600", 0, {}},
        {"write Quorvane.Simulation.1 Static.ReadOnly 5", 1, {"refused the value"}},
        {"watch Quorvane.Simulation.1 No.Such.Item --seconds 0", 1, {"refused item 'No.Such.Item'"}},
        {"browse No.Such.Server", 1, {"cannot connect"}},
        {"write Quorvane.Simulation.1 Static.R8 abc --type r8", 1, {}},
        {"frobnicate", 2, {}},
        {"watch Quorvane.Simulation.1 Static.R8 --rate -5", 2, {}},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Qvopc(c.args, &out), c.code) << c.args << "\n" << out;
        for (const char* part : c.shown)
            EXPECT_TRUE(!part || out.find(part) != std::string::npos) << c.args << ": no " << part << "\n" << out;
    }
}
