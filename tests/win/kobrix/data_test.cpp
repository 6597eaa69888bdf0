// Groups, items, data changes, deadband, refreshes and writes.
#include "Harness.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kbt;

TEST(Data, ChangesArriveOnTheConnectingThreadWithTheirHandlesAtTheRate) {
    EnsureKeeper();
    Connection c(kHierarchical, 200);
    ASSERT_TRUE(c.Ok());
    EXPECT_EQ(c.rate, 200u);
    int counter = c.Add("Plant.Line1.Counter");
    int text = c.Add("Static.BSTR");
    ASSERT_NE(counter, -1);
    ASSERT_NE(text, -1);
    ASSERT_NE(counter, text);
    g_changes.clear();
    const ULONGLONG start = GetTickCount64();
    Pump(3000);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    auto counts = ChangesOf(counter);
    // One change per update period, give or take scheduling: 3 s / 200 ms = 15.
    EXPECT_GE(counts.size(), 8u);
    EXPECT_LE(counts.size(), 20u);
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
        ULONGLONG stamp = (static_cast<ULONGLONG>(ch.time.dwHighDateTime) << 32) | ch.time.dwLowDateTime;
        ULONGLONG clock = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        EXPECT_LT(clock - stamp, 10ull * 10000000ull);  // within 10 s of now: both halves arrived
    }
    // A static tag reports its value once, under its own handle.
    auto texts = ChangesOf(text);
    ASSERT_LE(texts.size(), 1u);
    if (!texts.empty()) {
        EXPECT_EQ(texts[0].vt, VT_BSTR);
        EXPECT_EQ(texts[0].text, "Hello");
    }
}

TEST(Data, RevisedUpdateRateAndDeadbandAreWrittenBack) {
    EnsureKeeper();
    Connection fast(kHierarchical, 1, 12.5f);
    ASSERT_TRUE(fast.Ok());
    EXPECT_GE(fast.rate, 1u);  // what the server settled on
    EXPECT_FLOAT_EQ(fast.deadband, 12.5f);
    // The revised rate is the one the data keeps: count changes of a fast counter.
    int counter = fast.Add("Plant.Line1.Counter");
    ASSERT_NE(counter, -1);
    g_changes.clear();
    Pump(2000);
    size_t n = ChangesOf(counter).size();
    EXPECT_GT(n, 0u);
    EXPECT_LE(n, 2000u / fast.rate + 4) << "revised rate " << fast.rate;
}

TEST(Data, DeadbandSuppressesSmallChanges) {
    EnsureKeeper();
    Connection all(kHierarchical, 100, 0.0f);
    Connection big(kHierarchical, 100, 50.0f);
    ASSERT_TRUE(all.Ok());
    ASSERT_TRUE(big.Ok());
    EXPECT_FLOAT_EQ(big.deadband, 50.0f);
    int a = all.Add("Plant.Line1.Random");
    int b = big.Add("Plant.Line1.Random");
    ASSERT_NE(a, -1);
    ASSERT_NE(b, -1);
    g_changes.clear();
    Pump(4000);
    auto every = ChangesOf(a), large = ChangesOf(b);
    EXPECT_GE(every.size(), 20u);
    EXPECT_LT(large.size(), every.size());
    // Random over 0..100 with a 50 % deadband: each reported change moved more than 50.
    for (size_t i = 1; i < large.size(); ++i)
        EXPECT_GT(std::fabs(large[i].number - large[i - 1].number), 50.0) << i;
}

TEST(Data, WritesComeBackAsDataChanges) {
    EnsureKeeper();
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    int r8 = c.Add("Static.R8");
    int i4 = c.Add("Static.I4");
    ASSERT_NE(r8, -1);
    ASSERT_NE(i4, -1);
    Pump(300);
    g_changes.clear();
    EXPECT_EQ(c.Write(r8, R8(77.25)), 1);
    EXPECT_EQ(c.Write(i4, I4(-5)), 1);
    EXPECT_TRUE(PumpUntil([&] { return !ChangesOf(r8).empty() && !ChangesOf(i4).empty(); }, 3000));
    ASSERT_FALSE(ChangesOf(r8).empty());
    EXPECT_DOUBLE_EQ(ChangesOf(r8).back().number, 77.25);
    ASSERT_FALSE(ChangesOf(i4).empty());
    EXPECT_EQ(ChangesOf(i4).back().number, -5);
    // A value the server can convert is accepted in another type.
    EXPECT_EQ(c.Write(r8, I4(12)), 1);
    EXPECT_EQ(c.Write(r8, R8(1234.5678)), 1);
    EXPECT_EQ(c.Write(i4, I4(-320000)), 1);
}

TEST(Data, RefusedWritesAnswerZero) {
    EnsureKeeper();
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    int readOnly = c.Add("Static.ReadOnly");
    int r8 = c.Add("Static.R8");
    ASSERT_NE(readOnly, -1);
    ASSERT_NE(r8, -1);
    EXPECT_EQ(c.Write(readOnly, R8(1)), 0);
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"not a number");
    EXPECT_EQ(c.Write(r8, text), 0);
    VariantClear(&text);
    {
        TagReset reset("Control.RefuseWrites", Bool(false));
        ASSERT_TRUE(WriteTag("Control.RefuseWrites", Bool(true)));
        EXPECT_EQ(c.Write(r8, R8(1234.5678)), 0);
    }
    EXPECT_EQ(c.Write(r8, R8(1234.5678)), 1);
}

TEST(Data, RefusedGroupAndRefusedItems) {
    EnsureKeeper();
    {
        TagReset reset("Control.RefuseGroups", Bool(false));
        ASSERT_TRUE(WriteTag("Control.RefuseGroups", Bool(true)));
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
        TagReset reset("Control.RefuseItems", Bool(false));
        ASSERT_TRUE(WriteTag("Control.RefuseItems", Bool(true)));
        EXPECT_EQ(c.Add("Static.R8"), -1);
    }
    EXPECT_NE(c.Add("Static.R8"), -1);
}

TEST(Data, RefreshOfTheLastAddedItemIsImmediate) {
    EnsureKeeper();
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    int r8 = c.Add("Static.R8");
    int text = c.Add("Static.BSTR");
    ASSERT_NE(text, -1);
    Pump(300);  // the first update, which sends both, is over; static tags send nothing more
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
    Pump(300);
    g_changes.clear();
    Opc().OpcRefreshGroup(c.server, c.group, 0);
    EXPECT_TRUE(PumpUntil([&] { return !ChangesOf(r8).empty(); }, 2000));
    EXPECT_DOUBLE_EQ(ChangesOf(r8).back().number, 1234.5678);
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
    EnsureKeeper();
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
    EXPECT_TRUE(PumpUntil([] { return g_reentrantCalls > 0; }, 3000));
    Pump(500);
    EXPECT_EQ(g_reentrantCalls, 1);
    DWORD r = 100;
    EXPECT_EQ(Opc().OpcAddGroup(server, "Group 2", &r, &band), -1);  // the handle is gone
    EXPECT_EQ(Opc().OpcAddItem(server, group, "Static.R8"), -1);
    // The library still works for everyone else.
    Connection c(kHierarchical, 100);
    ASSERT_TRUE(c.Ok());
    EXPECT_NE(c.Add("Static.R8"), -1);
}
