// A poke into an item that has had no data change yet: the program must write the decoded
// value in its own kind (number, boolean, text) for the OPC server to convert, never
// VT_EMPTY, in XlTable and in CF_TEXT alike. Real DDEML: the client on its own thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "tests/win/app/app_env.h"
#include "tests/win/app/fake_opc.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

using namespace apptest;

TEST(EmptyItemPoke, WritesTheValueInItsOwnKind) {
    App();
    fakeopc::Install();
    TempDir dir;
    std::string cfg = dir.Path("quorvane.cfg");
    ASSERT_TRUE(WriteFile(cfg, Cfg({"Number Of Connections = 1", "ServerName = Sim", "Alias = Line1",
                                    "Number Of Items = 1", "TagName = Static.New"})));
    MainWindow window(cfg);
    ASSERT_EQ(window.Connection(0)->GetItem(0)->m_vValue.vt, VT_EMPTY);
    std::vector<VARTYPE> written;
    fakeopc::S().onWrite = [&](int, int, int, const VARIANT* value) { written.push_back(value->vt); };

    auto text = [](const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s) + 1); };
    std::atomic<bool> done{false};
    std::vector<bool> acked;
    std::thread client([&] {
        qvdde::DdeClient dde(true);
        if (auto conv = dde.Connect("Quorvane", "Line1")) {
            acked.push_back(conv->Poke("Static.New", 4, qvdde::EncodeXlTable(qvdde::Cell::Number(42.5))).ok);
            acked.push_back(conv->Poke("Static.New", 4, qvdde::EncodeXlTable(qvdde::Cell::Int(7))).ok);
            acked.push_back(conv->Poke("Static.New", CF_TEXT, text("true")).ok);
            acked.push_back(conv->Poke("Static.New", CF_TEXT, text("-1e3")).ok);
            acked.push_back(conv->Poke("Static.New", CF_TEXT, text("Open")).ok);
        }
        done = true;
    });
    DWORD deadline = ::GetTickCount() + 15000;
    while (!done && ::GetTickCount() < deadline) Pump(5);
    client.join();
    fakeopc::S().onWrite = nullptr;

    EXPECT_EQ(acked, std::vector<bool>(5, true));
    EXPECT_EQ(written, (std::vector<VARTYPE>{VT_R8, VT_R8, VT_BOOL, VT_R8, VT_BSTR}));
}
