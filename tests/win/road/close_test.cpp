// A close request (WM_CLOSE, the end of the session) while one of the program's modal
// boxes or dialogs is up: the modal ends, the program ends with exit code 0, and the
// configuration is saved. The program runs in a child process.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/win/road/road_env.h"

namespace {

using namespace road;

// Starts from the configuration with LF line ends, which a save turns into CR LF, so that
// a save can be told from the untouched file.
::testing::AssertionResult StartWith(Program& app, const std::vector<qvtest::ConfigConnection>& connections) {
    std::string text = qvtest::ConfigText(connections);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    WaitForNoSimServer(15000);
    return app.Start(text);
}

// Asks the program to end with WM_CLOSE, or as the session ends (then the configuration is
// on the disk once WM_ENDSESSION returns), and expects exit code 0 and mustBeSaved saved.
::testing::AssertionResult ClosesCleanly(Program& app, const std::string& mustBeSaved, bool sessionEnd = false) {
    std::string saved;
    DWORD_PTR yes = 0;
    if (!sessionEnd) {
        PostMessageA(app.mainWindow(), WM_CLOSE, 0, 0);
    } else if (!SendMessageTimeoutA(app.mainWindow(), WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &yes) || !yes ||
               !SendMessageTimeoutA(app.mainWindow(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &yes) ||
               !app.folder().ReadConfig(&saved)) {
        return ::testing::AssertionFailure() << "the session end was refused or saved nothing";
    }
    std::optional<DWORD> code = app.process().Wait(30000);
    if (!code) return ::testing::AssertionFailure() << "still running 30 s after the close";
    if (*code != 0) return ::testing::AssertionFailure() << "exit code 0x" << std::hex << *code;
    if (!sessionEnd) app.folder().ReadConfig(&saved);
    if (saved.find("\r\n") == std::string::npos || saved.find(mustBeSaved) == std::string::npos)
        return ::testing::AssertionFailure() << "\"" << mustBeSaved << "\" not saved:\n" << saved;
    return ::testing::AssertionSuccess();
}

TEST(CloseDuringModal, TheStartUpFailureBoxEndsAndNoSecondBoxHoldsTheClose) {
    Program app;
    ASSERT_TRUE(StartWith(app, {Connection("Gone1", {"A.B"}, "Quorvane.NotInstalled.1"),
                                Connection("Gone2", {"C.D"}, "Quorvane.NotInstalled.1")}));
    HWND box = WaitForDialog(app.pid(), kBoxCaption, 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), "Connection Failure");
    EXPECT_TRUE(ClosesCleanly(app, "Alias = Gone2\r\nNumber Of Items = 1\r\nTagName = C.D\r\n"));
}

TEST(CloseDuringModal, EachDialogOfTheConnectRoadAndTheBrowserEndsAsDoesTheSession) {
    for (const std::string at : {"connect", "remote", "parameters", "browser", "session"}) {
        SCOPED_TRACE(at);
        Program app;
        // A live connection with an item, so that IDC_CONNECT opens the connect dialog.
        ASSERT_TRUE(StartWith(app, {Connection("Kept", {"Static.R8"})}));
        ASSERT_TRUE(
            WaitUntil([&] { return app.TabCount() == 1 && app.Text(IDC_CONNECT) == "Connect to OPC Server"; }, 30000))
            << app.AnswerMessageBox(100);
        if (at == "browser") {
            ASSERT_NE(app.OpenBrowser(), nullptr);
        } else if (at == "parameters") {
            ASSERT_NE(app.OpenParams(kSim), nullptr);
        } else {
            HWND dlg = app.OpenConnectDialog();
            ASSERT_NE(dlg, nullptr);
            if (at == "remote") {
                ASSERT_TRUE(Press(dlg, IDC_SELECT_REMOTE));
                ASSERT_NE(WaitForDialog(app.pid(), kRemoteCaption), nullptr);
            }
        }
        EXPECT_TRUE(
            ClosesCleanly(app, "Alias = Kept\r\nNumber Of Items = 1\r\nTagName = Static.R8\r\n", at == "session"));
    }
}

}  // namespace
