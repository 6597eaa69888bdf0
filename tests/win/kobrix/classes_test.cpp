// The simulation's other classes: a DA 1.0-only server (data through IDataObject/IAdviseSink)
// and a server without browsing; and the Big branch's common change period.
#include "Harness.h"

using namespace kbt;

namespace {

constexpr const char* kNoBrowse = "Quorvane.SimulationNoBrowse.1";
constexpr const char* kDa1 = "Quorvane.SimulationDA1.1";

bool Lost(int server) { return std::count(g_shutdowns.begin(), g_shutdowns.end(), server) != 0; }

}  // namespace

TEST(Da1, ValuesArriveAndAWriteIsReadBack) {
    ASSERT_TRUE(qvtest::RegisterAllSimClasses());  // on request only, as scripts/register.sh asks
    g_shutdowns.clear();
    Connection c(kDa1, 100);
    int counter = c.Add("Plant.Line1.Counter");
    int text = c.Add("Plant.Line2.State");
    int r8 = c.Add("Static.R8");
    ASSERT_TRUE(counter != -1 && text != -1 && r8 != -1);
    g_changes.clear();
    ASSERT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 3 && !ChangesOf(text).empty(); }, 10000));
    auto counts = ChangesOf(counter);
    EXPECT_EQ(counts.back().vt, VT_I4);
    EXPECT_EQ(counts.back().quality, 0xC0u);
    EXPECT_GT(counts.back().number, counts.front().number);
    EXPECT_NE(counts.back().time.dwHighDateTime, 0u);
    auto state = ChangesOf(text).back();
    EXPECT_EQ(state.vt, VT_BSTR);
    EXPECT_TRUE(state.text == "Running" || state.text == "Stopped" || state.text == "Cleaning") << state.text;

    // A write reaches the server: it comes back through the advise and through a read.
    VARIANT written = MakeVariant(VT_R8, 4321.25);
    ASSERT_EQ(c.Write(r8, written), 1);
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto seen = ChangesOf(r8);
            return !seen.empty() && seen.back().number == 4321.25;
        },
        5000));
    g_changes.clear();
    Opc().OpcRefreshGroup(c.server, c.group, 1);  // one synchronous read of the item added last
    ASSERT_EQ(ChangesOf(r8).size(), 1u);
    EXPECT_EQ(ChangesOf(r8)[0].number, 4321.25);
    VARIANT original = MakeVariant(VT_R8, 1234.5678);
    EXPECT_EQ(c.Write(r8, original), 1);
    EXPECT_FALSE(Lost(c.server));
}

TEST(NoBrowse, BrowsingFailsCleanlyAndTypedIdsWork) {
    ASSERT_TRUE(qvtest::RegisterAllSimClasses());
    g_shutdowns.clear();
    Connection c(kNoBrowse, 100);
    ASSERT_TRUE(c.Ok());
    WORD type = 7;
    EXPECT_EQ(Opc().OpcGetNamespaceType(c.server, &type), 0);
    EXPECT_EQ(Opc().OpcSetBrowsePosition(c.server, ""), 0);
    for (int kind : {1, 2, 3}) EXPECT_EQ(Opc().OpcBrowseNames(c.server, kind), 0) << kind;
    char id[64] = "x";
    EXPECT_EQ(Opc().OpcGetItemId(c.server, "Counter", id, sizeof id), 0);
    EXPECT_STREQ(id, "");

    int counter = c.Add("Plant.Line1.Counter");
    ASSERT_NE(counter, -1);
    EXPECT_EQ(c.Add("Plant.Line1.Nothing"), -1);
    g_changes.clear();
    EXPECT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 2; }, 5000));
    EXPECT_FALSE(Lost(c.server));
}

TEST(Control, BigPeriodMakesEveryLeafChangeFast) {
    qvtest::ControlTag size(L"Control.BigBranchSize", MakeVariant(VT_I4, 20), MakeVariant(VT_I4, 0));
    ASSERT_TRUE(size.ok());
    Connection c(kHierarchical, 50);
    int period = c.Add("Control.BigPeriodMs");
    int leaf = c.Add("Big.T00007");
    ASSERT_TRUE(period != -1 && leaf != -1);
    EXPECT_EQ(c.Write(period, MakeVariant(VT_I4, -1)), 0);
    ASSERT_EQ(c.Write(period, MakeVariant(VT_I4, 50)), 1);
    g_changes.clear();
    // Its own period is 2 + 7 % 9 = 9 s; at 50 ms it steps at every update.
    EXPECT_TRUE(WaitUntil([&] { return ChangesOf(leaf).size() >= 10; }, 5000));
    for (const Change& ch : ChangesOf(leaf)) EXPECT_TRUE(ch.number >= 7 && ch.number <= 16.5) << ch.number;
    EXPECT_EQ(c.Write(period, MakeVariant(VT_I4, 0)), 1);
}
