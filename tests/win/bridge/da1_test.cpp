// A DA 1.0-only server (the simulation's class without connection points) through the
// whole bridge: its values reach a DDE hot link, and a poke is written and comes back.
#include <gtest/gtest.h>

#include "tests/win/bridge/bridge_env.h"

TEST(BridgeDa1, ValuesReachAHotLinkAndAPokeIsWritten) {
    qvtest::ConfigConnection old;
    old.alias = "Old";
    old.server = "Quorvane.SimulationDA1.1";
    old.items = {"Static.R8"};
    bridge::Bridge b;
    ASSERT_TRUE(b.Start({old}));
    qvdde::DdeClient links, calls;
    auto link = bridge::Open(links, old.alias);
    auto call = bridge::Open(calls, old.alias);
    ASSERT_TRUE(link && call);
    ASSERT_TRUE(link->StartAdvise("Static.R8", qvtest::kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(links, "Static.R8", 10000));

    // A value of this run only, so that its echo cannot be an older one.
    const qvdde::Cell written = qvdde::Cell::Number(5000.25 + GetTickCount() % 1000);
    ASSERT_TRUE(call->Poke("Static.R8", qvtest::kTestFormat, qvdde::EncodeXlTable(written)).ok);
    EXPECT_TRUE(qvtest::WaitForAdvise(
        links, "Static.R8", [&](const qvdde::Cell& c) { return c.number == written.number; }, 10000));
    std::vector<uint8_t> data;
    ASSERT_TRUE(call->Request("Static.R8", qvtest::kTestFormat, &data).ok);
    EXPECT_EQ(qvdde::EncodeXlTable(written), data);
    EXPECT_TRUE(b.app().Close());
}
