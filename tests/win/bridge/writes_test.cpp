// The read-only switch and the record of writes, against quorvane.exe in a child process:
// while writes are off every kind of poke is refused and the OPC value (read back with
// qvopc) stays; while on, a poke is written and logged with its value, type and result;
// the switch, turned off through the window, holds after a restart.
#include <gtest/gtest.h>

#include <regex>

#include "tests/win/bridge/bridge_env.h"
#include "tests/win/support/tools.h"

namespace {

const char kSettingsKey[] = "Software\\Local AppWizard-Generated Applications\\Quorvane\\Settings";
const char kEntry[] = "AllowDdeWrites";
const char kSim[] = "Quorvane.Simulation.1";

// The setting as a test wants it; the prefix's registry is shared by every test, so the
// value found (or its absence) is put back at the end.
class WritesSetting {
public:
    WritesSetting() { had_ = Read(&saved_); }
    ~WritesSetting() {
        if (had_) Set(saved_);
        else ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettingsKey, kEntry);
    }
    WritesSetting(const WritesSetting&) = delete;
    WritesSetting& operator=(const WritesSetting&) = delete;

    static bool Read(DWORD* value) {
        DWORD size = sizeof *value;
        return ::RegGetValueA(HKEY_CURRENT_USER, kSettingsKey, kEntry, RRF_RT_REG_DWORD, nullptr, value, &size) ==
               ERROR_SUCCESS;
    }
    static bool Set(DWORD value) {
        return ::RegSetKeyValueA(HKEY_CURRENT_USER, kSettingsKey, kEntry, REG_DWORD, &value, sizeof value) ==
               ERROR_SUCCESS;
    }

private:
    bool had_ = false;
    DWORD saved_ = 1;
};

// The item's value as qvopc shows it (its first data change), or the tool's failure.
std::string OpcValue(const std::string& item) {
    qvtest::ToolRun run = qvtest::RunTool("qvopc", {"watch", kSim, item, "--seconds", "1"});
    for (const std::string& line : run.out) {
        size_t at = line.find("  " + item + " ");
        if (at == std::string::npos) continue;
        size_t from = line.find_first_not_of(' ', at + 2 + item.size());
        return line.substr(from, line.find(' ', from) - from);
    }
    return "(no value) " + run.Describe();
}

void OpcWrite(const std::string& item, const std::string& value) {
    qvtest::ToolRun run = qvtest::RunTool("qvopc", {"write", kSim, item, value});
    ASSERT_TRUE(run.finished && run.exitCode == 0) << run.Describe();
}

qvdde::Result PokeCell(qvdde::Conversation& conv, const std::string& item, const qvdde::Cell& cell) {
    return conv.Poke(item, qvtest::kTestFormat, qvdde::EncodeXlTable(cell));
}

qvdde::Result PokeText(qvdde::Conversation& conv, const std::string& item, const std::string& text) {
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back(0);
    return conv.Poke(item, CF_TEXT, block);
}

std::string Log(const qvtest::QuorvaneApp& app) {
    std::string log;
    qvtest::ReadFileBytes(app.folder().File("quorvane.log"), &log);
    return log;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

qvtest::ConfigConnection Writable() {
    qvtest::ConfigConnection c;
    c.alias = "W";
    c.items = {"Static.R8", "Static.BSTR", "Static.BOOL"};
    return c;
}

TEST(BridgeWrites, OffRefusesEveryPokeAndTheOpcValuesStay) {
    WritesSetting setting;
    ASSERT_TRUE(WritesSetting::Set(0));
    bridge::Bridge b;
    ASSERT_TRUE(b.Start({Writable()}));
    // Known values, while the bridge's connection keeps the server and its values alive.
    OpcWrite("Static.R8", "111.25");
    OpcWrite("Static.BSTR", "kept");
    OpcWrite("Static.BOOL", "true");
    EXPECT_EQ("DDE writes: off", b.app().Text(IDC_DDE_WRITES));
    {
        qvdde::DdeClient client;
        auto conv = bridge::Open(client, "W");  // connects are served
        ASSERT_TRUE(conv);
        EXPECT_FALSE(PokeCell(*conv, "Static.R8", qvdde::Cell::Number(222.5)).ok);
        EXPECT_FALSE(PokeCell(*conv, "Static.BSTR", qvdde::Cell::Text("poked")).ok);
        EXPECT_FALSE(PokeCell(*conv, "Static.BOOL", qvdde::Cell::Bool(false)).ok);
        EXPECT_FALSE(PokeText(*conv, "Static.R8", "333.5").ok);
        EXPECT_FALSE(PokeText(*conv, "No.Such.Item", "1").ok);
        // Requests still are.
        std::vector<uint8_t> data;
        ASSERT_TRUE(conv->Request("Static.R8", CF_TEXT, &data).ok && !data.empty());
        EXPECT_STREQ("111.25", reinterpret_cast<const char*>(data.data()));
    }
    EXPECT_EQ("111.25", OpcValue("Static.R8"));
    EXPECT_EQ("kept", OpcValue("Static.BSTR"));
    EXPECT_EQ("True", OpcValue("Static.BOOL"));
    ASSERT_TRUE(b.app().Close());

    const std::string log = Log(b.app());
    EXPECT_EQ(4u, Count(log, "[dde] poke refused: W!Static.")) << log;
    EXPECT_EQ(5u, Count(log, ": writes are off\r\n")) << log;
    EXPECT_EQ(0u, Count(log, "[dde] write: ")) << log;
}

TEST(BridgeWrites, OnWritesAreLoggedAndTheSwitchTurnedOffHoldsAfterARestart) {
    WritesSetting setting;
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettingsKey, kEntry);  // absent: on
    {
        bridge::Bridge b;
        ASSERT_TRUE(b.Start({Writable()}));
        EXPECT_EQ("DDE writes: on", b.app().Text(IDC_DDE_WRITES));
        {
            qvdde::DdeClient client;
            auto conv = bridge::Open(client, "W");
            ASSERT_TRUE(conv);
            EXPECT_TRUE(PokeCell(*conv, "Static.R8", qvdde::Cell::Number(444.75)).ok);
            EXPECT_TRUE(PokeCell(*conv, "Static.BSTR", qvdde::Cell::Text(std::string(200, 'x'))).ok);
        }
        EXPECT_EQ("444.75", OpcValue("Static.R8"));

        ASSERT_TRUE(::PostMessageA(b.app().mainWindow(), WM_COMMAND, ID_DDE_WRITES, 0));
        EXPECT_TRUE(qvtest::WaitUntil([&] { return b.app().Text(IDC_DDE_WRITES) == "DDE writes: off"; }, 10000));
        {
            qvdde::DdeClient client;
            auto conv = bridge::Open(client, "W");
            ASSERT_TRUE(conv);
            EXPECT_FALSE(PokeText(*conv, "Static.R8", "555").ok);
        }
        ASSERT_TRUE(b.app().Close());

        const std::string log = Log(b.app());
        std::regex written(R"(\n\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[dde\] write: W!Static\.R8 = "444\.75" \(VT_R8\): accepted\r\n)");
        EXPECT_TRUE(std::regex_search(log, written)) << log;
        // The value is kept to its first 100 characters.
        EXPECT_EQ(1u, Count(log, "W!Static.BSTR = \"" + std::string(100, 'x') + "...\" (VT_BSTR): accepted")) << log;
        EXPECT_EQ(1u, Count(log, "[dde] writes from DDE clients are off\r\n")) << log;
        EXPECT_EQ(1u, Count(log, "W!Static.R8: writes are off")) << log;
    }
    DWORD stored = 1;
    EXPECT_TRUE(WritesSetting::Read(&stored) && stored == 0);

    bridge::Bridge again;
    ASSERT_TRUE(again.Start({Writable()}));
    EXPECT_EQ("DDE writes: off", again.app().Text(IDC_DDE_WRITES));
    OpcWrite("Static.R8", "777.25");
    {
        qvdde::DdeClient client;
        auto conv = bridge::Open(client, "W");
        ASSERT_TRUE(conv);
        EXPECT_FALSE(PokeCell(*conv, "Static.R8", qvdde::Cell::Number(666)).ok);
    }
    EXPECT_EQ("777.25", OpcValue("Static.R8"));
    ASSERT_TRUE(again.app().Close());
}

}  // namespace
