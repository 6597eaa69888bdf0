// A poke whose OPC write delivers a data change before it returns (the library's COM call
// runs a modal loop that dispatches the server's callback) posts that change's advise
// from inside the DDE transaction callback, where DDEML drops it. The program defers it
// to right after the callback: the client must get the new value although the one-second
// flush timer is stopped. Real DDEML: the client is a second instance on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "opc/Notifications.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

using namespace apptest;

namespace {

const UINT kFormat = 4;  // CF_SYLK: any format will do, the bridge labels XlTable with it

double NumberOf(const qvdde::Advise& a) {
    auto cell = qvdde::DecodeXlTable(a.data);
    return cell && cell->kind == qvdde::CellKind::Number ? cell->number : -1e300;
}

}  // namespace

TEST(AdviseDeferTest, AnAdviseRaisedInsideAPokeReachesTheClientRightAfterIt) {
    App();
    fakeopc::Install();
    Gate().Suspend(FALSE);
    qvtest::TempFolder dir;
    std::string cfg = dir.File("quorvane.cfg");
    ASSERT_TRUE(qvtest::WriteFileBytes(cfg, Cfg({"Number Of Connections = 1", "ServerName = Sim", "Alias = Line1",
                                                 "Number Of Items = 1", "TagName = Static.R8"})));
    MainWindow window(cfg);
    ASSERT_EQ(window.Connection(0)->GetItem(0)->m_hItem, 301);
    VARIANT start = R8(1.0);
    OpcDataChangeProc(101, 201, 301, &start, 0, 0, 192);
    // The write answers with a data change of the written value before it returns.
    fakeopc::S().onWrite = [](int hServer, int hGroup, int hItem, const VARIANT* value) {
        EXPECT_TRUE(Gate().IsInCallback());
        OpcDataChangeProc(hServer, hGroup, hItem, value, 0, 0, 192);
    };

    std::atomic<int> phase{0};
    std::atomic<bool> done{false};
    double first = 0, second = 0;
    bool connected = false, adviseStarted = false, poked = false, gotSecond = false;
    DWORD secondMs = 0;
    std::thread client([&] {
        qvdde::DdeClient dde(true);
        auto conv = dde.Connect("Quorvane", "Line1");
        connected = conv != nullptr;
        if (connected) {
            adviseStarted = conv->StartAdvise("Static.R8", kFormat).ok;
            if (auto a = dde.NextAdvise(3000)) first = NumberOf(*a);  // the timer's first value
            phase = 1;                                                // the main thread stops the timer now
            while (phase != 2) dde.Pump(10);
            DWORD t0 = ::GetTickCount();
            qvdde::Result r = conv->Poke("Static.R8", kFormat, qvdde::EncodeXlTable(qvdde::Cell::Number(42.5)));
            poked = r.ok && (r.flags & DDE_FACK);
            if (auto a = dde.NextAdvise(2500)) {
                second = NumberOf(*a);
                gotSecond = true;
                secondMs = ::GetTickCount() - t0;
            }
        }
        done = true;
    });
    DWORD deadline = ::GetTickCount() + 15000;
    while (!done && ::GetTickCount() < deadline) {
        Pump(5);
        if (phase == 1) {
            window.view->KillTimer(1);  // from here only the deferred flush can post
            phase = 2;
        }
    }
    if (!done) phase = 2;
    client.join();

    EXPECT_TRUE(connected);
    EXPECT_TRUE(adviseStarted);
    EXPECT_DOUBLE_EQ(first, 1.0);
    EXPECT_TRUE(poked);
    ASSERT_TRUE(gotSecond) << "the advise raised inside the poke never arrived";
    EXPECT_DOUBLE_EQ(second, 42.5);
    EXPECT_LT(secondMs, 1000u);
    EXPECT_FALSE(Gate().IsInCallback());
    EXPECT_EQ(window.Connection(0)->GetItem(0)->m_bAdvisePending, 0);
    fakeopc::S().onWrite = nullptr;
}

// The item holds its DDE name only while linked: a second start of a link counts once,
// a stop ends exactly its format's link, and a conversation's end ends the rest.
TEST(AdviseDeferTest, LinksEndWithTheirStopOrTheirConversation) {
    App();
    fakeopc::Install();
    qvtest::TempFolder dir;
    std::string cfg = dir.File("quorvane.cfg");
    ASSERT_TRUE(qvtest::WriteFileBytes(cfg, Cfg({"Number Of Connections = 1", "ServerName = Sim", "Alias = Line1",
                                                 "Number Of Items = 1", "TagName = Static.R8"})));
    MainWindow window(cfg);
    CConnectionList& list = window.view->Connections();
    const CTagItem* item = window.Connection(0)->GetItem(0);

    std::atomic<int> step{0}, seen{0};
    std::thread client([&] {
        qvdde::DdeClient dde(true);
        auto conv = dde.Connect("Quorvane", "Line1");
        auto next = [&](int n) {
            step = n;
            while (seen < n) dde.Pump(10);
        };
        if (conv) {
            conv->StartAdvise("Static.R8", kFormat);
            conv->StartAdvise("STATIC.R8", kFormat);
            conv->StartAdvise("Static.R8", CF_TEXT);
        }
        next(1);
        if (conv) conv->StopAdvise("static.r8", kFormat);
        next(2);
        conv.reset();
        next(3);
    });
    using States = std::vector<std::pair<int, bool>>;  // named links, item linked
    const States expected = {{1, true}, {1, true}, {0, false}};
    States states;
    DWORD deadline = ::GetTickCount() + 15000;
    while (seen < 3 && ::GetTickCount() < deadline) {
        Pump(5);
        if (step <= seen) continue;
        std::pair<int, bool> state;
        do {  // the server's side of a transaction may still be on its way
            Pump(5);
            state = {list.LinkedNameCount(), item->IsLinked() != FALSE};
        } while (state != expected[seen] && ::GetTickCount() < deadline);
        states.push_back(state);
        seen = seen + 1;
    }
    seen = 99;
    client.join();
    EXPECT_EQ(states, expected);
}
