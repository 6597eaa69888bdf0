// The connect road through dialogs 134, 135 and 136, seen from outside the program: what
// the dialogs refuse, their presets, the remote machine and the DA 1.0 enumeration.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"
#include "tests/win/support/opc.h"
#include "tests/win/support/tools.h"

namespace {

using namespace road;

// Moves the tab selection left to tab 0 with the arrow key, as a user may: the tab
// control itself tells the form. A connection with items offers a further connection on
// IDC_CONNECT, one without items offers to disconnect.
::testing::AssertionResult SelectFirstTab(Program& app) {
    HWND tab = app.Control(IDC_SERVER_TAB);
    for (int at = app.SelectedTab(); at > 0; --at) {
        PostKey(tab, VK_LEFT);
        if (!WaitUntil([&] { return app.SelectedTab() == at - 1; }, 10000))
            return ::testing::AssertionFailure() << "tab " << at - 1 << " not selected";
    }
    if (WaitUntil([&] { return app.Text(IDC_CONNECT) == "Connect to OPC Server"; }, 10000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the button reads " << app.Text(IDC_CONNECT);
}

// The connect dialog opens again and is the only dialog: whatever the previous press set
// going has run to its end (the press is handled only after it).
::testing::AssertionResult SettledWithConnectDialog(Program& app) {
    HWND dlg = app.OpenConnectDialog();
    if (dlg == nullptr) return ::testing::AssertionFailure() << "the connect dialog does not open";
    const size_t dialogs = Dialogs(app.pid()).size();
    Press(dlg, IDCANCEL);
    if (!WaitGone(dlg)) return ::testing::AssertionFailure() << "the connect dialog stays";
    if (dialogs != 1) return ::testing::AssertionFailure() << dialogs << " dialogs were open";
    return ::testing::AssertionSuccess();
}

// Registers the simulation server for OPC DA 1.0 only for one scope, then all its classes again.
class Da1OnlyRegistration {
  public:
    ::testing::AssertionResult Apply() {
        qvtest::ToolRun run = qvtest::RunTool("QuorvaneSim", {"/RegServer", "/DA1"}, 30000);
        applied_ = run.finished && run.exitCode == 0;
        return applied_ ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << run.Describe();
    }
    ~Da1OnlyRegistration() {
        if (applied_) qvtest::RunTool("QuorvaneSim", {"/RegServer", "/All"}, 30000);
    }

  private:
    bool applied_ = false;
};

TEST(Connect, ServersRegisteredForDa1OnlyAreListedByTheFallbackEnumeration) {
    Da1OnlyRegistration da1;
    ASSERT_TRUE(da1.Apply());
    Program app;
    ASSERT_TRUE(app.Launch({}));
    HWND dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    // The DA 2.0 enumeration finds nothing now; the list comes from the DA 1.0 one.
    EXPECT_EQ(ComboItems(GetDlgItem(dlg, IDC_SERVER_LIST)), (std::vector<std::string>{kSim, kSimFlat}));
    Press(dlg, IDCANCEL);
    ASSERT_TRUE(WaitGone(dlg));
    EXPECT_TRUE(app.ConnectThroughDialogs(kSimFlat, "Flat"));
}

// Refused fields keep the dialog open for a correction; Esc and the close box take the
// presets and nothing typed. A further connection may repeat an alias.
TEST(Connect, ParametersDialogRefusesCorrectsAndFallsBackToThePresets) {
    Program app;
    ASSERT_TRUE(app.Launch({Connection(kSim, {"Static.R8"})}));
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");  // items present: a further connection

    HWND params = app.OpenParams(kSim);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    Fill(params, {{IDC_TEXT_FIELD, "Fixed"}, {IDC_UPDATE_RATE, "750"}, {IDC_DEADBAND, "lots"}});
    ASSERT_TRUE(Press(params, IDOK));
    EXPECT_FALSE(app.AnswerMessageBox().empty());
    EXPECT_TRUE(IsWindowVisible(params));
    EXPECT_EQ(app.TabCount(), 1);
    Fill(params, {{IDC_DEADBAND, "1.5"}});
    ASSERT_TRUE(Press(params, IDOK));
    ASSERT_TRUE(WaitGone(params));
    ASSERT_TRUE(WaitUntil([&] { return app.TabCount() == 2; }, 10000));

    for (bool closeBox : {false, true}) {
        ASSERT_TRUE(SelectFirstTab(app));
        params = app.OpenParams(kSim);
        ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
        Fill(params, {{IDC_TEXT_FIELD, "Typed"}, {IDC_UPDATE_RATE, "250"}, {IDC_DEADBAND, "7"}});
        if (closeBox)
            PostMessageA(params, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            PostKey(GetDlgItem(params, IDC_TEXT_FIELD), VK_ESCAPE);
        ASSERT_TRUE(WaitGone(params));
        ASSERT_TRUE(WaitUntil([&] { return app.TabCount() == (closeBox ? 4 : 3); }, 10000));
    }
    EXPECT_EQ(app.SelectedTab(), 3);
    EXPECT_EQ(app.TabLabel(2), kSim);
    EXPECT_EQ(app.TabLabel(3), kSim);
    EXPECT_TRUE(app.RowNames().empty());
    EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");

    qvtest::ConfigConnection fixed = Connection("Fixed", {});
    fixed.updateRate = 750;
    fixed.deadband = 1.5f;
    const qvtest::ConfigConnection presets = Connection(kSim, {});
    std::string saved;
    ASSERT_TRUE(app.Close());
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    EXPECT_EQ(saved, qvtest::ConfigText({Connection(kSim, {"Static.R8"}), fixed, presets, presets}));
}

// What the connect road refuses leaves the connections as they were: a server name typed
// into the list's field (never read), a group the server refuses, a machine given up.
TEST(Connect, RefusalsAndTheRemoteMachineDialogLeaveTheConnectionsAsTheyWere) {
    Program app;
    ASSERT_TRUE(app.Launch({Connection("Keep", {"Static.R8"})}));
    HWND dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    SetTextOf(GetDlgItem(dlg, IDC_SERVER_LIST), kSim);
    ASSERT_TRUE(Press(dlg, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure");
    ASSERT_TRUE(SettledWithConnectDialog(app));
    {
        qvtest::ControlTag refuse(L"Control.RefuseGroups", qvtest::MakeVariant(VT_BOOL, 1),
                                  qvtest::MakeVariant(VT_BOOL, 0));
        ASSERT_TRUE(refuse.ok());
        HWND params = app.OpenParams(kSim);
        ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
        Fill(params, {{IDC_TEXT_FIELD, "Refused"}});
        ASSERT_TRUE(Press(params, IDOK));
        EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure -- Could Not Create Group");
        ASSERT_TRUE(SettledWithConnectDialog(app));
        EXPECT_EQ(app.TabCount(), 1);
        EXPECT_FALSE(app.HasTopic("Refused"));
    }

    // Cancel (Esc) in the remote dialog: machine, list and chosen server stay.
    dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    HWND list = GetDlgItem(dlg, IDC_SERVER_LIST);
    ASSERT_TRUE(ChooseComboItem(dlg, IDC_SERVER_LIST, 1));
    ASSERT_TRUE(Press(dlg, IDC_SELECT_REMOTE));
    HWND remote = WaitForDialog(app.pid(), kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(remote, IDC_TEXT_FIELD)), "");
    Fill(remote, {{IDC_TEXT_FIELD, "ELSEWHERE"}});
    PostKey(GetDlgItem(remote, IDC_TEXT_FIELD), VK_ESCAPE);
    ASSERT_TRUE(WaitGone(remote));
    EXPECT_EQ(TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)), "LOCAL");
    EXPECT_EQ(ComboItems(list).size(), 4u);
    ASSERT_TRUE(Press(dlg, IDOK));
    HWND params = WaitForDialog(app.pid(), kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(TextOf(GetDlgItem(params, IDC_TEXT_FIELD)), kSimFlat);
    Press(params, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return app.TabCount() == 2; }, 10000));
    ASSERT_TRUE(SelectFirstTab(app));

    // OK with a machine that does not exist: shown, and its (empty) list replaces ours.
    dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    list = GetDlgItem(dlg, IDC_SERVER_LIST);
    ASSERT_TRUE(ChooseComboItem(dlg, IDC_SERVER_LIST, 0));
    for (const char* machine : {"NOSUCHHOST", ""}) {
        ASSERT_TRUE(Press(dlg, IDC_SELECT_REMOTE));
        remote = WaitForDialog(app.pid(), kRemoteCaption);
        ASSERT_NE(remote, nullptr);
        EXPECT_EQ(TextOf(GetDlgItem(remote, IDC_TEXT_FIELD)), *machine ? "" : "NOSUCHHOST");
        Fill(remote, {{IDC_TEXT_FIELD, machine}});
        ASSERT_TRUE(Press(remote, IDOK));
        ASSERT_TRUE(WaitGone(remote, 60000));
        const std::string shown = *machine ? machine : "LOCAL";
        ASSERT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)) == shown; }, 60000));
        EXPECT_EQ(ComboItems(list).size(), *machine ? 0u : 4u);
    }
    // Back on this computer (an empty name) the list is refilled and no server is chosen
    // any more, so OK now tries an empty server name and fails.
    ASSERT_TRUE(Press(dlg, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure");
    ASSERT_TRUE(SettledWithConnectDialog(app));
    EXPECT_EQ(app.TabCount(), 2);
}

}  // namespace
