// A server that asks its clients to go, and a server that dies under them.
#include "Harness.h"

using namespace kbt;

TEST(Failure, ShutdownRequestReachesTheCallback) {
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    g_shutdowns.clear();
    com::Variant reason;
    reason.SetText(L"kobrix test");
    int item = c.Add("Control.Shutdown");
    ASSERT_NE(item, -1);
    EXPECT_EQ(c.Write(item, reason.Ref()), 1);
    EXPECT_TRUE(WaitUntil([&] { return std::count(g_shutdowns.begin(), g_shutdowns.end(), c.server) > 0; }, 10000));
    EXPECT_EQ(g_shutdownThread, GetCurrentThreadId());
    // The program's answer to a shutdown request: remove items and group, disconnect.
    c.Forget();
    DropKeeper();
    // Told to go and left by its clients, the server ends: nothing of it is still held here
    // (a leaked interface would keep it running). A new one starts on demand.
    // (Only checked for a server this program started; one left by others may have other clients.)
    std::vector<DWORD> ours = OurServerProcesses();
    if (ours == ServerProcesses()) EXPECT_TRUE(WaitUntil([] { return ServerProcesses().empty(); }, 10000));
    Connection again(kHierarchical, 100);
    EXPECT_TRUE(again.Ok());
}

TEST(Failure, ServerKilledMidStream) {
    Connection c(kHierarchical, 100);
    int counter = c.Add("Plant.Line1.Counter");
    int r8 = c.Add("Static.R8");
    ASSERT_NE(r8, -1);
    g_changes.clear();
    ASSERT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 2; }, 3000));
    if (OurServerProcesses() != ServerProcesses() || ServerProcesses().size() != 1)
        GTEST_SKIP() << "the simulation server in use was not started by this program; not ours to kill";
    g_shutdowns.clear();
    // The watch sees a live server and says nothing: a span of its checks, which nothing
    // outside the library can observe, so this one stays a span.
    WaitUntil([] { return !g_shutdowns.empty(); }, 3500);
    EXPECT_TRUE(g_shutdowns.empty());
    ASSERT_TRUE(Kill(ServerProcesses()[0]));

    // The client keeps running; every call answers failure, none hangs.
    const ULONGLONG start = GetTickCount64();
    VARIANT v = MakeVariant(VT_R8, 5);
    EXPECT_EQ(c.Write(r8, v), 0);
    EXPECT_EQ(c.Add("Static.I4"), -1);
    DWORD rate = 100;
    float band = 0;
    EXPECT_EQ(Opc().OpcAddGroup(c.server, "Group 2", &rate, &band), -1);
    Opc().OpcRefreshGroup(c.server, c.group, 0);
    Opc().OpcRefreshGroup(c.server, c.group, 1);
    WORD ns = 0;
    EXPECT_EQ(Opc().OpcGetNamespaceType(c.server, &ns), 0);
    EXPECT_EQ(Opc().OpcSetBrowsePosition(c.server, ""), 0);
    EXPECT_EQ(Opc().OpcBrowseNames(c.server, 1), 0);
    EXPECT_EQ(c.Write(r8, v), 0);  // and again, once known dead
    // The death is reported once, as a shutdown request, so that the program lets go, and no
    // change comes after it. (A change the server sent just before the kill may still be
    // handed on before the report.) Once more a span of the watch's checks for the "once".
    auto reported = [&] { return std::count(g_shutdowns.begin(), g_shutdowns.end(), c.server); };
    EXPECT_TRUE(WaitUntil([&] { return reported() > 0; }, 15000));
    EXPECT_EQ(g_shutdownThread, GetCurrentThreadId());
    g_changes.clear();
    WaitUntil([&] { return reported() > 1; }, 3500);
    EXPECT_EQ(reported(), 1);
    EXPECT_TRUE(ChangesOf(counter).empty());
    c.Forget();
    DropKeeper();
    EXPECT_LT(GetTickCount64() - start, 25000u);

    // Under Wine the dead server's registration must go before a new server can start.
    ASSERT_TRUE(RestartRpcSsUnderWine());
    Connection fresh(kHierarchical, 100);
    ASSERT_TRUE(fresh.Ok());
    int again = fresh.Add("Plant.Line1.Counter");
    ASSERT_NE(again, -1);
    EXPECT_TRUE(WaitUntil([&] { return !ChangesOf(again).empty(); }, 10000));
}
