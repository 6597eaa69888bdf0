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

TEST(BridgeSuspend, SuspendStopsAdvisesAndResumeLetsTheNextChangeThrough) {
    qvtest::ConfigConnection line1;
    line1.alias = "Line1";
    line1.updateRate = 200;
    line1.items = {"Plant.Line1.Counter", "Static.ReadOnly"};
    bridge::Bridge b;
    std::string why;
    ASSERT_TRUE(b.Start({line1}, &why)) << why;
    qvtest::QuorvaneApp& app = b.app();
    EXPECT_TRUE(app.Enabled(qvtest::kSuspend));
    EXPECT_FALSE(app.Enabled(qvtest::kResume));

    qvdde::DdeClient client;
    auto conv = bridge::Open(client, "Line1");
    ASSERT_TRUE(conv);
    ASSERT_TRUE(conv->StartAdvise("Plant.Line1.Counter", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 3000)) << "no value before suspending";
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 3000)) << "no change before suspending";

    ASSERT_TRUE(app.Click(qvtest::kSuspend));
    EXPECT_FALSE(app.Enabled(qvtest::kSuspend));
    EXPECT_TRUE(app.Enabled(qvtest::kResume));
    // Advises posted before the click may still be on their way.
    auto inFlight = qvtest::Collect(client, 300);
    double lastBefore = -1;
    for (const auto& a : inFlight)
        if (auto c = qvtest::CellOf(a)) lastBefore = c->number;

    const long shownBefore = CounterShown(b);
    // A link started while suspended (by another client) is accepted but gets no first value.
    qvdde::DdeClient client2;
    auto second = bridge::Open(client2, "Line1");
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->StartAdvise("Static.ReadOnly", kTestFormat).ok) << "advise start refused while suspended";
    auto during = qvtest::Collect(client, 1800);
    EXPECT_TRUE(during.empty()) << during.size() << " advises arrived while suspended, first: " << qvtest::Show(during[0]);
    EXPECT_TRUE(client2.queue().empty()) << "the link started while suspended got a value: "
                                         << qvtest::Show(client2.queue().front());
    const long shownAfter = CounterShown(b);
    EXPECT_GT(shownAfter, shownBefore) << "the list must go on showing changes while suspended";

    ASSERT_TRUE(app.Click(qvtest::kResume));
    EXPECT_TRUE(app.Enabled(qvtest::kSuspend));
    EXPECT_FALSE(app.Enabled(qvtest::kResume));
    auto next = qvtest::WaitForAny(client, "Plant.Line1.Counter", 2000);
    ASSERT_TRUE(next) << "no change arrived after Resume";
    auto cell = qvtest::CellOf(*next);
    ASSERT_TRUE(cell);
    EXPECT_GE(cell->number, double(shownAfter)) << "the first value after Resume is older than what the list showed";
    EXPECT_GT(cell->number, lastBefore);
    // Resuming replays nothing: the link started during the suspension stays without a value
    // until its item changes (Static.ReadOnly never does).
    qvtest::Collect(client, 1500);
    EXPECT_TRUE(client2.queue().empty()) << "Resume replayed a value: " << qvtest::Show(client2.queue().front());

    EXPECT_TRUE(app.Close(15000, &why)) << why;
}

}  // namespace
