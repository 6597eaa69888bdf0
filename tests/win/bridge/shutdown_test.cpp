// The server's shutdown request through the real program: a write to Control.Shutdown
// (poked through DDE) makes the simulation server ask its clients to disconnect. Every
// row then shows "Bad", the status line and button 1004 offer the reconnect, no advise
// flows; pressing the button connects again and values flow on the same hot link.
#include <gtest/gtest.h>

#include "tests/win/bridge/bridge_env.h"

namespace {

using qvdde::Cell;
using qvtest::kTestFormat;

TEST(BridgeShutdown, ServerShutdownDisconnectsAndAttemptReconnectRestoresTheFlow) {
    bridge::Bridge b;
    ASSERT_TRUE(b.Start(
        {bridge::Conn("Line1", {"Plant.Line1.Counter", "Static.ReadOnly", "Control.Shutdown", "Static.BSTR"})}));
    qvtest::QuorvaneApp& app = b.app();

    qvdde::DdeClient client;
    auto conv = bridge::Open(client, "Line1");
    ASSERT_TRUE(conv);
    ASSERT_TRUE(conv->StartAdvise("Plant.Line1.Counter", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000));
    // Past the tick that follows the advise start, which may post the item once more: a link
    // started now gets its first value from that tick or the next. It has a conversation of
    // its own (Wine's client refuses an advise start that a Counter change overtakes).
    qvdde::DdeClient tickClient;
    auto tick = bridge::Open(tickClient, "Line1");
    ASSERT_TRUE(tick && tick->StartAdvise("Static.BSTR", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(tickClient, "Static.BSTR", 5000));

    ASSERT_TRUE(bridge::Poke("Line1", "Control.Shutdown", Cell::Text("bridge test")));

    ASSERT_TRUE(b.WaitStatus(bridge::kServerRequestedDisconnect, true, 10000))
        << "status reads \"" << app.Text(IDC_STATUS) << "\"";
    EXPECT_EQ(bridge::kCaptionReconnect, app.Text(IDC_CONNECT));
    EXPECT_FALSE(app.Enabled(IDC_ADD_ITEM));
    auto rows = app.ListRows();
    ASSERT_EQ(4u, rows.size());
    for (const auto& row : rows) {
        ASSERT_GE(row.size(), 3u);
        EXPECT_EQ("Bad", row[2]) << row[0];
    }
    // What was posted before the status changed is here already; after it nothing more
    // arrives, up to the flush that serves a new link (longer than five update periods).
    qvtest::Collect(client, 0);
    // The DDE side stays: a new link on the disconnected topic gets the last value.
    qvdde::DdeClient lateClient;
    auto late = bridge::Open(lateClient, "Line1");
    ASSERT_TRUE(late);
    EXPECT_TRUE(late->StartAdvise("Static.ReadOnly", kTestFormat).ok);
    auto last = qvtest::WaitForAny(lateClient, "Static.ReadOnly", 5000);
    ASSERT_TRUE(last) << "a link started after the shutdown got no value";
    auto lastCell = qvtest::CellOf(*last);
    ASSERT_TRUE(lastCell);
    EXPECT_EQ(42.0, lastCell->number);
    auto quiet = qvtest::Collect(client, 0);
    EXPECT_TRUE(quiet.empty()) << quiet.size() << " advises after the disconnect, first: " << qvtest::Show(quiet[0]);

    ASSERT_TRUE(app.Click(IDC_CONNECT, 30000)) << "the reconnect did not finish in 30 s";
    ASSERT_TRUE(b.WaitStatus("Connected: ", false, 10000))
        << "status reads \"" << app.Text(IDC_STATUS) << "\"; message box: " << qvtest::FindMessageBox(app.pid());
    EXPECT_EQ(bridge::kCaptionConnect, app.Text(IDC_CONNECT));
    EXPECT_TRUE(app.Enabled(IDC_ADD_ITEM));
    auto again = qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000);
    EXPECT_TRUE(again) << "no value on the old hot link after the reconnect";
    auto next = qvtest::WaitForAny(client, "Plant.Line1.Counter", 3000);
    EXPECT_TRUE(next) << "values do not go on flowing after the reconnect";
    // The row is redrawn at the next coalesced redraw, after the advise: wait for it.
    std::vector<std::string> row;
    EXPECT_TRUE(
        qvtest::WaitUntil([&] { return (row = b.Row("Plant.Line1.Counter")).size() >= 3 && row[2] == "Good"; }, 5000));

    EXPECT_TRUE(app.Close(15000));
}

}  // namespace
