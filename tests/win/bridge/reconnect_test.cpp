// Automatic reconnect and a hanging server, through the real program with the test as its
// DDE client. A hot link opened before the server went away gets values again with nothing
// done on the client's side, after a shutdown request and after the server process was
// killed, while an unreachable stored connection is retried in its tab. While one server
// hangs, the window answers, another server process keeps its links fed, and a close ends
// the program in time.
#include <gtest/gtest.h>

#include "tests/win/bridge/bridge_env.h"
#include "tests/win/support/opc.h"
#include "tests/win/support/server_kill.h"
#include "tests/win/support/settings.h"
#include "tests/win/support/tools.h"

namespace {

using qvdde::Cell;
using qvtest::kTestFormat;

// The older tests of this suite were written for the start-up box and the manual reconnect.
::testing::Environment* const g_autoReconnectOff = ::testing::AddGlobalTestEnvironment(new qvtest::AutoReconnectOff);

using bridge::Conn;
using bridge::Poke;

// The status line tells the loss (text) and the countdown; once connected again, the
// link that was open all along gets values again, and goes on getting them.
void ExpectReconnected(bridge::Bridge& b, qvdde::DdeClient& client, const std::string& loss) {
    ASSERT_TRUE(b.WaitStatus(loss, false, 15000)) << "status reads \"" << b.app().Text(IDC_STATUS) << "\"";
    EXPECT_NE(b.app().Text(IDC_STATUS).find("Reconnecting: attempt 1, next in "), std::string::npos)
        << b.app().Text(IDC_STATUS);
    qvtest::Collect(client, 0);  // what was posted before the loss
    ASSERT_TRUE(b.WaitStatus("Connected: ", false, 60000)) << "status reads \"" << b.app().Text(IDC_STATUS) << "\"";
    EXPECT_EQ(bridge::kCaptionConnect, b.app().Text(IDC_CONNECT));
    EXPECT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000)) << "no value on the old link";
    EXPECT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000)) << "values do not go on flowing";
}

TEST(AutoReconnect, TheOldLinkGetsValuesAgainAfterAShutdownRequestAndAfterTheServerWasKilled) {
    // The server process this test kills must be the one its program made start.
    ASSERT_TRUE(qvtest::WaitUntil([] { return qvtest::SimServerProcesses().empty(); }, 30000))
        << "a simulation server from elsewhere runs";
    qvtest::AutoReconnectOn on;
    bridge::Bridge b;
    // A stored connection whose server cannot be reached waits in its tab: no box holds the start.
    ASSERT_TRUE(b.Start({Conn("Missing", {"A.B"}, "Quorvane.NoSuchServer.1"),
                         Conn("Auto", {"Plant.Line1.Counter", "Control.Shutdown"})}));
    EXPECT_EQ("", qvtest::FindMessageBox(b.app().pid()));
    qvdde::DdeClient client;
    auto conv = bridge::Open(client, "Auto");
    ASSERT_TRUE(conv);
    ASSERT_TRUE(conv->StartAdvise("Plant.Line1.Counter", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000));

    ASSERT_TRUE(Poke("Auto", "Control.Shutdown", Cell::Text("reconnect test")));
    ExpectReconnected(b, client, bridge::kServerRequestedDisconnect);

    std::vector<DWORD> servers = qvtest::SimServerProcesses();
    ASSERT_EQ(1u, servers.size());
    ASSERT_TRUE(qvtest::Kill(servers[0]));
    ASSERT_TRUE(qvtest::RestartRpcSsUnderWine());
    ExpectReconnected(b, client, "<<<<<<< Connection to Server Lost");

    // Each attempt is logged with its number.
    std::string log;
    ASSERT_TRUE(qvtest::ReadFileBytes(b.app().folder().File("quorvane.log"), &log));
    EXPECT_NE(log.find("reconnect attempt 1: Auto (Quorvane.Simulation.1"), std::string::npos) << log;
    EXPECT_NE(log.find("reconnect attempt 1: Missing (Quorvane.NoSuchServer.1"), std::string::npos) << log;

    // The menu item switches the setting and writes it back.
    PostMessageA(b.app().mainWindow(), WM_COMMAND, ID_AUTO_RECONNECT, 0);
    EXPECT_TRUE(qvtest::WaitUntil([] { return qvtest::ProgramSetting(qvtest::kAutoReconnect) == 0u; }, 5000));
    PostMessageA(b.app().mainWindow(), WM_COMMAND, ID_AUTO_RECONNECT, 0);
    EXPECT_TRUE(qvtest::WaitUntil([] { return qvtest::ProgramSetting(qvtest::kAutoReconnect) == 1u; }, 5000));
    EXPECT_TRUE(b.app().Close(15000));
}

TEST(AutoReconnect, AHangingServerHoldsNeitherTheWindowNorAnotherServersLinksNorTheClose) {
    ASSERT_TRUE(qvtest::RegisterAllSimClasses());  // the own-process class, as the test command registers it
    qvtest::AutoReconnectOn on;                    // the lost connection is being retried when the close comes
    bridge::Bridge b;
    ASSERT_TRUE(b.Start({Conn("Hung", {"Plant.Line1.Counter", "Control.HangSeconds"}),
                         Conn("Other", {"Plant.Line1.Counter"}, "Quorvane.SimulationSolo.1")}));
    ASSERT_EQ(2u, qvtest::SimServerProcesses().size()) << "the two classes share a process";
    qvdde::DdeClient client;
    auto conv = bridge::Open(client, "Other");
    ASSERT_TRUE(conv);
    ASSERT_TRUE(conv->StartAdvise("Plant.Line1.Counter", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 5000));

    ASSERT_TRUE(Poke("Hung", "Control.HangSeconds", Cell::Number(15)));
    // Past the 5-s bound of the status check that meets the hang, and into the retry.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        DWORD_PTR answer = 0;
        ASSERT_NE(0, SendMessageTimeoutA(b.app().mainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer))
            << "the window did not answer within 1 s, " << GetTickCount() - start << " ms into the hang";
        ASSERT_TRUE(qvtest::WaitForAny(client, "Plant.Line1.Counter", 3000))
            << "the other server's link got nothing for 3 s, " << GetTickCount() - start << " ms into the hang";
    }
    PostMessageA(b.app().mainWindow(), WM_CLOSE, 0, 0);
    std::optional<DWORD> code = b.app().process().Wait(10000);
    ASSERT_TRUE(code) << "still running 10 s after the close";
    EXPECT_EQ(0u, *code);
    std::string saved;
    ASSERT_TRUE(b.app().folder().ReadConfig(&saved));
    EXPECT_NE(saved.find("Alias = Hung\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Alias = Other\r\n"), std::string::npos) << saved;
    // The hung server ends once it answers again and finds its client gone.
    EXPECT_TRUE(qvtest::WaitUntil([] { return qvtest::SimServerProcesses().empty(); }, 30000));
}

}  // namespace
