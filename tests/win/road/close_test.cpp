// A close request (WM_CLOSE, the end of the session) while one of the program's modal
// boxes or dialogs is up: the modal ends, the program ends with exit code 0, and the
// configuration is saved. The program runs in a child process.
#include <gtest/gtest.h>

#include <cstdio>

#include "res/resource.h"
#include "tests/win/road/road_env.h"

namespace {

using road::Program;

constexpr char kMissing[] = "Quorvane.NotInstalled.1";

// The configuration as the test writes it: LF line ends, which a save turns into CR LF,
// so that a save can be told from the untouched file.
std::string LfConfig(const std::vector<qvtest::ConfigConnection>& connections) {
    std::string text = qvtest::ConfigText(connections), lf;
    for (char c : text)
        if (c != '\r') lf += c;
    return lf;
}

bool StartWith(Program& app, const std::vector<qvtest::ConfigConnection>& connections, std::string* why) {
    road::WaitForNoSimServer(15000);
    ::testing::AssertionResult started = app.Start(LfConfig(connections));
    if (!started) *why = started.message();
    return started;
}

// One connection to the simulation server, with an item, so that button 1004 opens the
// connect dialog.
bool StartWithLiveConnection(Program& app, const std::string& alias, std::string* why) {
    if (!StartWith(app, {road::Connection(alias, {"Static.R8"})}, why)) return false;
    if (road::WaitUntil([&] { return app.TabCount() == 1 && app.Text(IDC_CONNECT) == "Connect to OPC Server"; }, 30000))
        return true;
    *why = "connection " + alias + " not made; message box: " + app.AnswerMessageBox(100);
    return false;
}

// Posts WM_CLOSE to the main window; the exit code, or a failure.
::testing::AssertionResult ClosesCleanly(Program& app, const std::string& mustBeSaved) {
    PostMessageA(app.mainWindow(), WM_CLOSE, 0, 0);
    std::optional<DWORD> code = app.process().Wait(30000);
    if (!code) return ::testing::AssertionFailure() << "still running 30 s after WM_CLOSE";
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(*code));
    if (*code != 0) return ::testing::AssertionFailure() << "exit code " << hex;
    std::string saved;
    if (!app.folder().ReadConfig(&saved)) return ::testing::AssertionFailure() << "no configuration file";
    if (saved.find("\r\n") == std::string::npos) return ::testing::AssertionFailure() << "not saved:\n" << saved;
    if (saved.find(mustBeSaved) == std::string::npos)
        return ::testing::AssertionFailure() << "\"" << mustBeSaved << "\" not saved:\n" << saved;
    return ::testing::AssertionSuccess();
}

TEST(CloseDuringModal, TheStartUpFailureBoxEndsAndNoSecondBoxHoldsTheClose) {
    Program app;
    std::string why;
    qvtest::ConfigConnection first = road::Connection("Gone1", {"A.B"}, kMissing);
    qvtest::ConfigConnection second = road::Connection("Gone2", {"C.D"}, kMissing);
    ASSERT_TRUE(StartWith(app, {first, second}, &why)) << why;
    HWND box = road::WaitForDialog(app.pid(), road::kBoxCaption, 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(road::MessageBoxText(box), "Connection Failure");
    EXPECT_TRUE(ClosesCleanly(app, "Alias = Gone2\r\nNumber Of Items = 1\r\nTagName = C.D\r\n"));
}

TEST(CloseDuringModal, EachDialogOfTheConnectRoadAndTheBrowserEnds) {
    std::string why;
    for (const char* stage : {"connect", "remote", "parameters", "browser"}) {
        SCOPED_TRACE(stage);
        const std::string at = stage;
        Program app;
        ASSERT_TRUE(StartWithLiveConnection(app, "Kept", &why)) << why;
        if (at == "browser") {
            ASSERT_NE(app.OpenBrowser(), nullptr);
        } else if (at == "parameters") {
            ASSERT_NE(app.OpenParams(road::kSim), nullptr);
        } else {
            HWND dlg = app.OpenConnectDialog();
            ASSERT_NE(dlg, nullptr);
            if (at == "remote") {
                ASSERT_TRUE(road::Press(dlg, IDC_SELECT_REMOTE));
                ASSERT_NE(road::WaitForDialog(app.pid(), road::kRemoteCaption), nullptr);
            }
        }
        EXPECT_TRUE(ClosesCleanly(app, "Alias = Kept\r\nNumber Of Items = 1\r\nTagName = Static.R8\r\n"));
    }
}

TEST(CloseDuringModal, TheSessionEndSavesBeforeAnsweringThenTheProgramEnds) {
    Program app;
    std::string why;
    ASSERT_TRUE(StartWithLiveConnection(app, "Gone", &why)) << why;
    ASSERT_NE(app.OpenConnectDialog(), nullptr) << why;
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(app.mainWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer));
    EXPECT_EQ(answer, TRUE);
    ASSERT_TRUE(SendMessageTimeoutA(app.mainWindow(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer));
    std::string saved;  // already on the disk when WM_ENDSESSION returns
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    EXPECT_NE(saved.find("Alias = Gone\r\n"), std::string::npos) << saved;
    std::optional<DWORD> code = app.process().Wait(30000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
}

}  // namespace
