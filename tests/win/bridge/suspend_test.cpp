// Suspend and Resume through the real buttons 1002 and 1003 of the running program:
// while suspended no advise reaches a client (the list still changes), new links get no
// first value, and after Resume the next change arrives, with nothing replayed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/win/bridge/bridge_env.h"

namespace {

using qvtest::kTestFormat;

long CounterShown(bridge::Bridge& b) {
    std::vector<std::string> row = b.Row("Plant.Line1.Counter");
    return row.size() >= 2 ? std::atol(row[1].c_str()) : -1;
}

// Waits until the list has shown `updates` new values of the counter: at the group's
// 200 ms, six of them span more than one tick of the one-second flush.
bool ListShowsUpdates(bridge::Bridge& b, int updates) {
    long last = CounterShown(b);
    int seen = 0;
    return qvtest::WaitUntil(
        [&] {
            const long now = CounterShown(b);
            if (now != last) ++seen;
            last = now;
            return seen >= updates;
        },
        20000);
}

TEST(BridgeSuspend, SuspendStopsAdvisesAndResumeLetsTheNextChangeThrough) {
    bridge::Bridge b;
    ASSERT_TRUE(b.Start({bridge::Conn("Line1", {"Plant.Line1.Counter", "Static.ReadOnly"})}));
    qvtest::QuorvaneApp& app = b.app();
    EXPECT_TRUE(app.Enabled(IDC_SUSPEND));
    EXPECT_FALSE(app.Enabled(IDC_RESUME));

    qvdde::DdeClient client;
    auto conv = bridge::Open(client, "Line1");
    ASSERT_TRUE(conv);
    ASSERT_TRUE(conv->StartAdvise("Plant.Line1.Counter", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 3000)) << "no value before suspending";
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 3000)) << "no change before suspending";

    ASSERT_TRUE(app.Click(IDC_SUSPEND));
    EXPECT_FALSE(app.Enabled(IDC_SUSPEND));
    EXPECT_TRUE(app.Enabled(IDC_RESUME));
    // Advises posted before the click (the click returns once handled) are already here.
    auto inFlight = qvtest::Collect(client, 0);
    double lastBefore = -1;
    for (const auto& a : inFlight)
        if (auto c = qvtest::CellOf(a)) lastBefore = c->number;

    // A link started while suspended (by another client) is accepted but gets no first value.
    qvdde::DdeClient client2;
    auto second = bridge::Open(client2, "Line1");
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->StartAdvise("Static.ReadOnly", kTestFormat).ok) << "advise start refused while suspended";
    // Past a tick of the flush; whatever the program posted for the changes was posted
    // before the list showed the last of them.
    ASSERT_TRUE(ListShowsUpdates(b, 6));
    auto during = qvtest::Collect(client, 0);
    EXPECT_TRUE(during.empty()) << during.size()
                                << " advises arrived while suspended, first: " << qvtest::Show(during[0]);
    EXPECT_TRUE(client2.queue().empty()) << "the link started while suspended got a value: "
                                         << qvtest::Show(client2.queue().front());
    const long shownAfter = CounterShown(b);

    ASSERT_TRUE(app.Click(IDC_RESUME));
    EXPECT_TRUE(app.Enabled(IDC_SUSPEND));
    EXPECT_FALSE(app.Enabled(IDC_RESUME));
    auto next = qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000);
    ASSERT_TRUE(next) << "no change arrived after Resume";
    auto cell = qvtest::CellOf(*next);
    ASSERT_TRUE(cell);
    EXPECT_GE(cell->number, double(shownAfter)) << "the first value after Resume is older than what the list showed";
    EXPECT_GT(cell->number, lastBefore);
    // Resuming replays nothing: the link started during the suspension stays without a value
    // until its item changes (Static.ReadOnly never does).
    // Past the next tick, which would post a replay.
    ASSERT_TRUE(ListShowsUpdates(b, 6));
    qvtest::Collect(client, 0);
    EXPECT_TRUE(client2.queue().empty()) << "Resume replayed a value: " << qvtest::Show(client2.queue().front());

    EXPECT_TRUE(app.Close(15000));
}

}  // namespace
