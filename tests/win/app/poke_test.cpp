// Pokes into the program from a DDEML client, a second instance on a thread of its own
// while this thread serves. A poke into an item that has had no data change yet writes
// the value in its own kind for the OPC server to convert, never VT_EMPTY. A poke whose
// OPC write delivers a data change before it returns (the library's COM call runs a modal
// loop that dispatches the server's callback) raises that change's advise inside the DDE
// transaction callback, where DDEML drops it: the program defers it to right after the
// callback, so the client gets the new value although the one-second flush timer is stopped.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "opc/Notifications.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

using namespace apptest;

namespace {

const UINT kXlTable = 4;  // CF_SYLK: any format will do, the bridge labels XlTable with it

class Poke : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        fakeopc::Install();
        Gate().Suspend(FALSE);
        ASSERT_TRUE(
            qvtest::WriteFileBytes(config, Cfg({"Number Of Connections = 1", "ServerName = Sim", "Alias = Line1",
                                                "Number Of Items = 1", "TagName = Static.X"})));
        window.emplace(config);
        ASSERT_EQ(window->Connection(0)->GetItem(0)->m_hItem, 301);
    }
    void TearDown() override { fakeopc::S().onWrite = nullptr; }
    // Runs client in a conversation on Line1 while this thread serves, calling step at every turn.
    void Serve(
        const std::function<void(qvdde::DdeClient&, qvdde::Conversation&)>& client,
        const std::function<void()>& step = [] {}) {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            qvdde::DdeClient dde(true);
            if (auto conv = dde.Connect("Quorvane", "Line1")) client(dde, *conv);
            done = true;
        });
        EXPECT_TRUE(Pump(15000, [&] { return step(), done.load(); }));
        phase = 2;  // a client still waiting for the timer to stop goes on
        thread.join();
    }

    qvtest::TempFolder dir;
    std::string config = dir.File("quorvane.cfg");
    std::optional<MainWindow> window;
    std::atomic<int> phase{0};
};

}  // namespace

TEST_F(Poke, IntoAnItemWithoutAValueWritesTheValueInItsOwnKind) {
    std::vector<VARTYPE> written;
    fakeopc::S().onWrite = [&](int, int, int, const VARIANT* value) { written.push_back(value->vt); };
    std::vector<bool> acked;
    Serve([&](qvdde::DdeClient&, qvdde::Conversation& conv) {
        for (const auto& cell : {qvdde::Cell::Number(42.5), qvdde::Cell::Bool(true)})
            acked.push_back(conv.Poke("Static.X", kXlTable, qvdde::EncodeXlTable(cell)).ok);
        acked.push_back(conv.Poke("Static.X", CF_TEXT, {'O', 'p', 'e', 'n', 0}).ok);
    });
    EXPECT_EQ(acked, std::vector<bool>(3, true));
    EXPECT_EQ(written, (std::vector<VARTYPE>{VT_R8, VT_BOOL, VT_BSTR}));
}

TEST_F(Poke, AnAdviseRaisedInsideAPokeReachesTheClientRightAfterIt) {
    VARIANT start = R8(1.0);
    OpcDataChangeProc(101, 201, 301, &start, 0, 0, 192);
    // The write answers with a data change of the written value before it returns.
    fakeopc::S().onWrite = [](int hServer, int hGroup, int hItem, const VARIANT* value) {
        EXPECT_TRUE(Gate().IsInCallback());
        OpcDataChangeProc(hServer, hGroup, hItem, value, 0, 0, 192);
    };
    auto number = [](const std::optional<qvdde::Advise>& a) {
        auto cell = a ? qvdde::DecodeXlTable(a->data) : std::nullopt;
        return cell && cell->kind == qvdde::CellKind::Number ? cell->number : -1e300;
    };
    double first = 0, second = 0;
    bool poked = false;
    DWORD secondMs = 0;
    Serve(
        [&](qvdde::DdeClient& dde, qvdde::Conversation& conv) {
            if (!conv.StartAdvise("Static.X", kXlTable).ok) return;
            first = number(dde.NextAdvise(3000));  // the timer's first value
            phase = 1;                             // this thread stops the timer now
            while (phase != 2) dde.Pump(10);
            DWORD t0 = GetTickCount();
            qvdde::Result r = conv.Poke("Static.X", kXlTable, qvdde::EncodeXlTable(qvdde::Cell::Number(42.5)));
            poked = r.ok && (r.flags & DDE_FACK);
            second = number(dde.NextAdvise(2500));
            secondMs = GetTickCount() - t0;
        },
        [&] {
            if (phase == 1) {
                window->view->KillTimer(1);  // from here only the deferred flush can post
                phase = 2;
            }
        });
    EXPECT_DOUBLE_EQ(first, 1.0);
    EXPECT_TRUE(poked);
    EXPECT_DOUBLE_EQ(second, 42.5) << "the advise raised inside the poke never arrived";
    EXPECT_LT(secondMs, 1000u);
    EXPECT_FALSE(Gate().IsInCallback());
    EXPECT_EQ(window->Connection(0)->GetItem(0)->m_bAdvisePending, 0);
}

// The item holds its DDE name only while linked: a second start of a link counts once, a
// stop ends exactly its format's link, and the conversation's end ends the rest.
TEST_F(Poke, LinksEndWithTheirStopOrTheirConversation) {
    CConnectionList& list = window->view->Connections();
    const CTagItem* item = window->Connection(0)->GetItem(0);
    using State = std::pair<int, bool>;  // names linked, item linked
    auto now = [&] { return State{list.LinkedNameCount(), item->IsLinked() != FALSE}; };
    std::vector<State> states;
    std::atomic<bool> asked{false};
    auto record = [&](qvdde::DdeClient& dde) {  // the client waits while this thread looks
        asked = true;
        while (asked) dde.Pump(10);
    };
    Serve(
        [&](qvdde::DdeClient& dde, qvdde::Conversation& conv) {
            conv.StartAdvise("Static.X", kXlTable);
            conv.StartAdvise("STATIC.X", kXlTable);
            conv.StartAdvise("Static.X", CF_TEXT);
            record(dde);
            conv.StopAdvise("static.x", kXlTable);
            record(dde);
        },
        [&] {
            if (!asked) return;
            states.push_back(now());
            asked = false;
        });
    // A disconnect is only told to the server: its side may still be on its way.
    Pump(5000, [&] { return now() == State{0, false}; });
    states.push_back(now());
    EXPECT_EQ(states, (std::vector<State>{{1, true}, {1, true}, {0, false}}));
}
