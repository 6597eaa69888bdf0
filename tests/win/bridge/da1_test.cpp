// A DA 1.0-only server (the simulation's class without connection points) through the
// whole bridge: its values reach a DDE hot link, and a poke is written to it and comes back.
#include <gtest/gtest.h>

#include "tests/win/bridge/bridge_env.h"

TEST(BridgeDa1, ValuesReachAHotLinkAndAPokeIsWritten) {
    qvtest::ConfigConnection old;
    old.alias = "Old";
    old.server = "Quorvane.SimulationDA1.1";
    old.updateRate = 200;
    old.items = {"Plant.Line1.Counter", "Static.R8"};
    bridge::Bridge b;
    ASSERT_TRUE(b.Start({old}));
    qvdde::DdeClient links, calls;
    auto link = bridge::Open(links, old.alias);
    auto call = bridge::Open(calls, old.alias);
    ASSERT_TRUE(link && call);

    // The counter counts: a later value differs from the first one.
    ASSERT_TRUE(link->StartAdvise("Plant.Line1.Counter", qvtest::kTestFormat).ok);
    auto first = qvtest::WaitForAny(links, "Plant.Line1.Counter", 10000);
    ASSERT_TRUE(first);
    auto firstCell = qvtest::CellOf(*first);
    ASSERT_TRUE(firstCell) << qvtest::Show(*first);
    EXPECT_TRUE(qvtest::WaitForAdvise(
        links, "Plant.Line1.Counter", [&](const qvdde::Cell& c) { return c.number != firstCell->number; }, 10000));

    // A value of this run only, so that its echo cannot be an older one.
    const double written = 5000.25 + GetTickCount() % 1000;
    ASSERT_TRUE(link->StartAdvise("Static.R8", qvtest::kTestFormat).ok);
    ASSERT_TRUE(call->Poke("Static.R8", qvtest::kTestFormat, qvdde::EncodeXlTable(qvdde::Cell::Number(written))).ok);
    EXPECT_TRUE(qvtest::WaitForAdvise(
        links, "Static.R8", [&](const qvdde::Cell& c) { return c.number == written; }, 10000));
    std::vector<uint8_t> data;
    ASSERT_TRUE(call->Request("Static.R8", qvtest::kTestFormat, &data).ok);
    EXPECT_EQ(qvdde::EncodeXlTable(qvdde::Cell::Number(written)), data);
    EXPECT_TRUE(b.app().Close());
}
