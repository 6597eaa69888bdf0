// Groups, items, data changes, refreshes and writes, as the library hands them over.
// What the server does with rates, deadbands and written values is the simulation server
// suite's business; here only what the library adds or maps.
#include "Harness.h"

using namespace kbt;

namespace {

ULONGLONG Ticks(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

}  // namespace

TEST(Data, ChangesArriveOnTheConnectingThreadWithTheirHandlesAtTheRate) {
    Connection c(kHierarchical, 200);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.rate, 200u);
    int counter = c.Add("Plant.Line1.Counter");
    int text = c.Add("Static.BSTR");
    ASSERT_TRUE(counter != -1 && text != -1);
    ASSERT_NE(counter, text);
    g_changes.clear();
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 8; }, 20000));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    auto counts = ChangesOf(counter);
    // Not faster than the rate: 7 periods of 200 ms between the first and the eighth change.
    EXPECT_GE(counts[7].tick - counts[0].tick, 7u * 200u * 3 / 4);
    double last = -1;
    for (const Change& ch : g_changes) {
        EXPECT_EQ(ch.thread, GetCurrentThreadId());
        EXPECT_EQ(ch.server, c.server);
        EXPECT_EQ(ch.group, c.group);
        EXPECT_TRUE(ch.item == counter || ch.item == text) << ch.item;
        EXPECT_GE(ch.tick, start);
    }
    for (const Change& ch : counts) {
        EXPECT_EQ(ch.vt, VT_I4);
        EXPECT_EQ(ch.quality, 0xC0u);
        EXPECT_GT(ch.number, last);  // a counter only grows
        last = ch.number;
        EXPECT_LT(Ticks(now) - Ticks(ch.time), 20ull * 10000000ull);  // both halves of the stamp arrived
    }
    // A static tag reports its value once, under its own handle (maybe before the clear).
    auto texts = ChangesOf(text);
    ASSERT_LE(texts.size(), 1u);
    for (const Change& ch : texts) EXPECT_EQ(ch.text, "Hello");

    // What the server settled on is written back.
    Connection fast(kHierarchical, 1, 12.5f);
    ASSERT_TRUE(fast.Ok());
    EXPECT_EQ(fast.rate, 50u);
    EXPECT_FLOAT_EQ(fast.deadband, 12.5f);
}

// The server's refusals come back as -1 (groups, items) and 0 (writes), and nothing is left
// half made: the same calls succeed once the server takes them again.
TEST(Data, ServerRefusalsAnswerMinusOneOrZero) {
    {
        qvtest::ControlTag refuse(L"Control.RefuseGroups", MakeVariant(VT_BOOL, 1), MakeVariant(VT_BOOL, 0));
        ASSERT_TRUE(refuse.ok());
        int server = Opc().OpcConnectServer("", kHierarchical, 0);
        ASSERT_GT(server, 0);
        DWORD rate = 500;
        float band = 0;
        EXPECT_EQ(Opc().OpcAddGroup(server, "Group 1", &rate, &band), -1);
        Opc().OpcDisconnectServer(server);
    }
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.Add("No.Such.Item"), -1);
    EXPECT_EQ(c.Add(""), -1);
    {
        qvtest::ControlTag refuse(L"Control.RefuseItems", MakeVariant(VT_BOOL, 1), MakeVariant(VT_BOOL, 0));
        ASSERT_TRUE(refuse.ok());
        EXPECT_EQ(c.Add("Static.R8"), -1);
    }
    int r8 = c.Add("Static.R8");
    int readOnly = c.Add("Static.ReadOnly");
    ASSERT_TRUE(r8 != -1 && readOnly != -1);
    EXPECT_EQ(c.Write(readOnly, MakeVariant(VT_R8, 1)), 0);
    com::Variant text;
    text.SetText(L"not a number");
    EXPECT_EQ(c.Write(r8, text.Ref()), 0);
    {
        qvtest::ControlTag refuse(L"Control.RefuseWrites", MakeVariant(VT_BOOL, 1), MakeVariant(VT_BOOL, 0));
        ASSERT_TRUE(refuse.ok());
        EXPECT_EQ(c.Write(r8, MakeVariant(VT_R8, 1234.5678)), 0);
    }
    EXPECT_EQ(c.Write(r8, MakeVariant(VT_I4, 12)), 1);  // a value the server converts, in another type
    EXPECT_EQ(c.Write(r8, MakeVariant(VT_R8, 1234.5678)), 1);
}

TEST(Data, RefreshOfTheLastAddedItemIsImmediate) {
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    g_changes.clear();
    int r8 = c.Add("Static.R8");
    int text = c.Add("Static.BSTR");
    ASSERT_NE(text, -1);
    // The first update sends both; static tags send nothing more after it.
    ASSERT_TRUE(WaitUntil([&] { return !ChangesOf(r8).empty() && !ChangesOf(text).empty(); }, 10000));
    g_changes.clear();
    Opc().OpcRefreshGroup(c.server, c.group, 1);
    // Delivered within the call, without pumping, for the last item only.
    ASSERT_EQ(g_changes.size(), 1u);
    EXPECT_EQ(g_changes[0].item, text);
    EXPECT_EQ(g_changes[0].text, "Hello");
    EXPECT_EQ(g_changes[0].thread, GetCurrentThreadId());
    // A refused add leaves nothing to refresh, and neither does removing the last one.
    EXPECT_EQ(c.Add("No.Such.Item"), -1);
    g_changes.clear();
    Opc().OpcRefreshGroup(c.server, c.group, 1);
    EXPECT_TRUE(g_changes.empty());
    text = c.Add("Static.BSTR");
    ASSERT_NE(text, -1);
    Opc().OpcRemoveItem(c.server, c.group, text);
    c.items.pop_back();
    g_changes.clear();
    Opc().OpcRefreshGroup(c.server, c.group, 1);
    EXPECT_TRUE(g_changes.empty());
    // The whole group: every item once more.
    Opc().OpcRefreshGroup(c.server, c.group, 0);
    EXPECT_TRUE(WaitUntil([&] { return !ChangesOf(r8).empty(); }, 10000));
}

namespace {
int g_reentrantCalls = 0;
// Tears the whole connection down from inside its own data change.
void __stdcall DisconnectInsideCallback(int hServer, int hGroup, int, const VARIANT*, DWORD, DWORD, DWORD) {
    ++g_reentrantCalls;
    Opc().OpcRemoveGroup(hServer, hGroup);
    Opc().OpcDisconnectServer(hServer);
}
}  // namespace

TEST(Data, ACallbackMayRemoveItsOwnConnection) {
    int server = Opc().OpcConnectServer("", kHierarchical, 0);
    ASSERT_GT(server, 0);
    DWORD rate = 50;
    float band = 0;
    int group = Opc().OpcAddGroup(server, "Group 1", &rate, &band);
    ASSERT_GT(group, 0);
    g_reentrantCalls = 0;
    // Several changing items: one server callback carries several of them, and the rest of
    // that call must find nothing once the first has taken the connection down. The
    // callback goes in only after the adds: a change of the first item may arrive while
    // the next one is being added, and would take the connection down under the test.
    for (const char* id : {"Plant.Line1.Counter", "Plant.Line1.Random", "Plant.Line1.Level", "Plant.Line1.Temp"})
        ASSERT_NE(Opc().OpcAddItem(server, group, id), -1);
    Opc().OpcSetDataChangeCallback(server, DisconnectInsideCallback);
    EXPECT_TRUE(WaitUntil([] { return g_reentrantCalls > 0; }, 10000));
    DWORD r = 100;
    EXPECT_EQ(Opc().OpcAddGroup(server, "Group 2", &r, &band), -1);  // the handle is gone
    EXPECT_EQ(Opc().OpcAddItem(server, group, "Static.R8"), -1);
    // The library still works for everyone else; two updates of another connection's counter
    // are later than anything the old group had under way.
    Connection c(kHierarchical, 50);
    int counter = c.Add("Plant.Line1.Counter");
    ASSERT_NE(counter, -1);
    EXPECT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 2; }, 10000));
    EXPECT_EQ(g_reentrantCalls, 1);
}
