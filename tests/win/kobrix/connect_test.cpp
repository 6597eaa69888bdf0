// Enumeration of servers, connecting and disconnecting.
#include "Harness.h"

#include <cstring>

using namespace kbt;

namespace {

std::vector<std::string> Names(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        char buf[200];
        if (Opc().OpcGetServerName(i, buf, sizeof(buf))) names.push_back(buf);
    }
    return names;
}

std::string ComputerName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}

}  // namespace

// The simulation registers itself either as a DA 2.0 server or, with /DA1, as a DA 1.0 one.
TEST(Enumerate, FindsTheSimulationUnderEachCategoryAndNothingOnAnUnknownMachine) {
    auto reg = [](std::vector<std::string> args) { return qvtest::RunTool("QuorvaneSim", args).exitCode; };
    struct Registration {
        ~Registration() { qvtest::RegisterAllSimClasses(); }
    } restore;
    for (int selector : {1, 0}) {
        SCOPED_TRACE("selector " + std::to_string(selector));
        ASSERT_EQ(
            reg(selector ? std::vector<std::string>{"/RegServer"} : std::vector<std::string>{"/RegServer", "/DA1"}),
            0u);
        int n = Opc().OpcEnumerateServers(selector, "");
        auto names = Names(n);
        EXPECT_EQ(static_cast<int>(names.size()), n);
        EXPECT_TRUE(Has(names, kHierarchical) && Has(names, kFlat));
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return _stricmp(a.c_str(), b.c_str()) < 0;
        }));
        EXPECT_FALSE(Has(Names(Opc().OpcEnumerateServers(1 - selector, "")), kHierarchical));
    }
    ASSERT_EQ(reg({"/RegServer"}), 0u);
    // This machine by its other names.
    for (std::string self : {std::string("localhost"), ComputerName(), "\\\\" + ComputerName()})
        EXPECT_TRUE(Has(Names(Opc().OpcEnumerateServers(1, self.c_str())), kHierarchical)) << self;
    EXPECT_EQ(Opc().OpcEnumerateServers(2, ""), 0);

    // An unknown remote machine answers nothing, quickly.
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Opc().OpcEnumerateServers(1, "nohost.invalid"), 0);
    EXPECT_EQ(Opc().OpcEnumerateServers(0, "nohost.invalid"), 0);
    char buf[200];
    EXPECT_EQ(Opc().OpcGetServerName(0, buf, sizeof(buf)), 0);  // the failed listing left nothing behind
    // A remote name must never quietly give a local server.
    EXPECT_EQ(Opc().OpcConnectServer("nohost.invalid", kHierarchical, 0), -1);
    EXPECT_LT(GetTickCount64() - start, 10000u);
}

TEST(Connect, ConnectsByProgIdAndDisconnectStopsData) {
    int server = -1;
    int item = -1;
    {
        Connection c(kHierarchical, 100);
        server = c.server;
        item = c.Add("Plant.Line1.Counter");
        ASSERT_NE(item, -1);
        g_changes.clear();
        EXPECT_TRUE(WaitUntil([&] { return !ChangesOf(item).empty(); }, 10000));
    }
    // Two updates of another connection come later than anything the first had under way.
    g_changes.clear();
    Connection later(kHierarchical, 100);
    int counter = later.Add("Plant.Line1.Counter");
    ASSERT_NE(counter, -1);
    EXPECT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 2; }, 10000));
    for (const Change& ch : g_changes) EXPECT_NE(ch.server, server);
    // The same ProgID "localhost" and flat too.
    int local = Opc().OpcConnectServer("localhost", kFlat, 0);
    EXPECT_GT(local, 0);
    Opc().OpcDisconnectServer(local);
    Opc().OpcDisconnectServer(local);  // twice: the second is an unknown handle
}
