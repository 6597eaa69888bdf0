// The read-only switch and the record of writes, against quorvane.exe in a child process:
// with writes on a poke is written and logged with value, type and result; turned off
// through the window, every kind of poke is refused and the OPC values (read back with
// qvopc) stay; after a restart the switch is still off.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "tests/win/bridge/bridge_env.h"
#include "tests/win/support/settings.h"
#include "tests/win/support/tools.h"

namespace {

const char kEntry[] = "AllowDdeWrites";

// The prefix's registry is shared by every test: the setting is removed (writes on) and
// what was found is put back at the end.
struct RestoreSetting {
    std::optional<DWORD> had = qvtest::ProgramSetting(kEntry);
    RestoreSetting() { qvtest::DeleteProgramSetting(kEntry); }
    ~RestoreSetting() { had ? (void)qvtest::SetProgramSetting(kEntry, *had) : qvtest::DeleteProgramSetting(kEntry); }
};

// The item's value as qvopc shows it (first word after the item id), or the tool's output.
std::string OpcValue(const std::string& item) {
    qvtest::ToolRun run = qvtest::RunTool("qvopc", {"watch", "Quorvane.Simulation.1", item, "--seconds", "1"});
    for (const std::string& line : run.out) {
        size_t at = line.find("  " + item + " "), from = line.find_first_not_of(' ', at + 2 + item.size());
        if (at != std::string::npos) return line.substr(from, line.find(' ', from) - from);
    }
    return "(no value) " + run.Describe();
}

bool Poke(qvdde::Conversation& conv, const std::string& item, const qvdde::Cell& cell) {
    return conv.Poke(item, qvtest::kTestFormat, qvdde::EncodeXlTable(cell)).ok;
}

bool PokeText(qvdde::Conversation& conv, const std::string& item, const char* text) {
    return conv.Poke(item, CF_TEXT, std::vector<uint8_t>(text, text + strlen(text) + 1)).ok;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(BridgeWrites, LoggedWhileOnRefusedWhileOffAndOffHoldsAfterARestart) {
    RestoreSetting setting;
    const qvtest::ConfigConnection w = bridge::Conn("W", {"Static.R8", "Static.BSTR", "Static.BOOL"});
    const std::string longText(200, 'x');
    // Per item: the poke taken while writes are on, the one refused while off, and the
    // value the server keeps (as qvopc shows it).
    const struct {
        const char* item;
        qvdde::Cell on, off;
        std::string kept;
    } pokes[] = {{"Static.R8", qvdde::Cell::Number(444.75), qvdde::Cell::Number(222.5), "444.75"},
                 {"Static.BSTR", qvdde::Cell::Text(longText), qvdde::Cell::Text("poked"), longText},
                 {"Static.BOOL", qvdde::Cell::Bool(true), qvdde::Cell::Bool(false), "True"}};
    {
        bridge::Bridge b;
        ASSERT_TRUE(b.Start({w}));
        EXPECT_EQ("DDE writes: on", b.app().Text(IDC_DDE_WRITES));
        qvdde::DdeClient client;
        auto conv = bridge::Open(client, "W");
        ASSERT_TRUE(conv);
        for (const auto& p : pokes) EXPECT_TRUE(Poke(*conv, p.item, p.on)) << p.item;

        ASSERT_TRUE(::PostMessageA(b.app().mainWindow(), WM_COMMAND, ID_DDE_WRITES, 0));
        EXPECT_TRUE(qvtest::WaitUntil([&] { return b.app().Text(IDC_DDE_WRITES) == "DDE writes: off"; }, 10000));
        for (const auto& p : pokes) EXPECT_FALSE(Poke(*conv, p.item, p.off)) << p.item;
        EXPECT_FALSE(PokeText(*conv, "Static.R8", "333.5"));
        EXPECT_FALSE(PokeText(*conv, "No.Such.Item", "1"));
        std::vector<uint8_t> data;  // requests are still served, once the write came back
        EXPECT_TRUE(qvtest::WaitUntil(
            [&] {
                return conv->Request("Static.R8", CF_TEXT, &data).ok && !data.empty() &&
                       std::strcmp(reinterpret_cast<const char*>(data.data()), "444.75") == 0;
            },
            10000));
        for (const auto& p : pokes) EXPECT_EQ(p.kept, OpcValue(p.item));
        conv.reset();
        ASSERT_TRUE(b.app().Close());

        std::string log;
        ASSERT_TRUE(qvtest::ReadFileBytes(b.app().folder().File("quorvane.log"), &log));
        std::regex written(
            R"(\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[dde\] write: W!Static\.R8 = "444\.75" \(VT_R8\): accepted\r\n)");
        EXPECT_TRUE(std::regex_search(log, written)) << log;
        EXPECT_EQ(1u, Count(log, "W!Static.BSTR = \"" + std::string(100, 'x') + "...\" (VT_BSTR): accepted")) << log;
        EXPECT_EQ(3u, Count(log, "[dde] write: ")) << log;
        EXPECT_EQ(1u, Count(log, "[dde] writes from DDE clients are off\r\n")) << log;
        EXPECT_EQ(5u, Count(log, ": writes are off\r\n")) << log;
    }
    bridge::Bridge again;
    ASSERT_TRUE(again.Start({w}));
    EXPECT_EQ("DDE writes: off", again.app().Text(IDC_DDE_WRITES));
    {
        qvdde::DdeClient client;
        auto conv = bridge::Open(client, "W");
        ASSERT_TRUE(conv);
        EXPECT_FALSE(Poke(*conv, "Static.R8", qvdde::Cell::Number(666)));
    }
    ASSERT_TRUE(again.app().Close());
    std::string log;
    ASSERT_TRUE(qvtest::ReadFileBytes(again.app().folder().File("quorvane.log"), &log));
    EXPECT_EQ(1u, Count(log, "W!Static.R8: writes are off")) << log;
}

}  // namespace
