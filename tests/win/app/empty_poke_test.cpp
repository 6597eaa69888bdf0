// A poke into an item that has had no data change yet writes the value in its own kind
// (number, boolean, text) for the OPC server to convert, never VT_EMPTY.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

using namespace apptest;

TEST(EmptyItemPoke, WritesTheValueInItsOwnKind) {
    App();
    fakeopc::Install();
    qvtest::TempFolder dir;
    std::string cfg = dir.File("quorvane.cfg");
    ASSERT_TRUE(qvtest::WriteFileBytes(cfg, Cfg({"Number Of Connections = 1", "ServerName = Sim", "Alias = Line1",
                                                 "Number Of Items = 1", "TagName = Static.New"})));
    MainWindow window(cfg);
    std::vector<VARTYPE> written;
    fakeopc::S().onWrite = [&](int, int, int, const VARIANT* value) { written.push_back(value->vt); };
    std::atomic<bool> done{false};
    std::vector<bool> acked;
    std::thread client([&] {  // DDEML's client on a thread of its own; this one serves
        qvdde::DdeClient dde(true);
        auto text = [](const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s) + 1); };
        if (auto conv = dde.Connect("Quorvane", "Line1")) {
            for (const auto& cell : {qvdde::Cell::Number(42.5), qvdde::Cell::Int(7), qvdde::Cell::Bool(true)})
                acked.push_back(conv->Poke("Static.New", 4, qvdde::EncodeXlTable(cell)).ok);
            for (const char* s : {"-1e3", "true", "Open"})
                acked.push_back(conv->Poke("Static.New", CF_TEXT, text(s)).ok);
        }
        done = true;
    });
    Pump(15000, [&] { return done.load(); });
    client.join();
    fakeopc::S().onWrite = nullptr;
    EXPECT_EQ(acked, std::vector<bool>(6, true));
    EXPECT_EQ(written, (std::vector<VARTYPE>{VT_R8, VT_R8, VT_BOOL, VT_R8, VT_BOOL, VT_BSTR}));
}
