// The connect road through dialogs 134, 135 and 136, seen from outside the program.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"
#include "tests/win/support/opc.h"
#include "tests/win/support/tools.h"

namespace {

using road::Program;

// Opens the connect dialog, chooses server `index` and presses OK: the parameters dialog.
HWND OpenParams(Program& app, int index) {
    HWND dlg = app.OpenConnectDialog();
    if (dlg == nullptr || !road::ChooseComboItem(dlg, IDC_SERVER_LIST, index) || !road::Press(dlg, IDOK))
        return nullptr;
    return road::WaitForDialog(app.pid(), road::kParamsCaption);
}

// Moves the tab selection left to tab `index` with the arrow key, as a user may: the tab
// control itself tells the form. A connection with items offers a further connection on
// IDC_CONNECT, one without items offers to disconnect.
::testing::AssertionResult SelectTab(Program& app, int index) {
    HWND tab = app.Control(IDC_SERVER_TAB);
    for (int at = app.SelectedTab(); at > index; --at) {
        road::PostKey(tab, VK_LEFT);
        if (!qvtest::WaitUntil([&] { return app.SelectedTab() == at - 1; }, 10000))
            return ::testing::AssertionFailure() << "tab " << at - 1 << " not selected";
    }
    if (qvtest::WaitUntil([&] { return app.Text(IDC_CONNECT) == "Connect to OPC Server"; }, 10000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "on tab " << app.SelectedTab() << " the button reads "
                                         << app.Text(IDC_CONNECT);
}

std::string SavedConfig(Program& app) {
    std::string saved;
    ::testing::AssertionResult closed = app.Close();
    if (!closed) return closed.message();
    app.folder().ReadConfig(&saved);
    return saved;
}

// The connect dialog opens again and is the only dialog: whatever the previous press set
// going has run to its end (the press is handled only after it).
::testing::AssertionResult SettledWithConnectDialog(Program& app) {
    HWND dlg = app.OpenConnectDialog();
    if (dlg == nullptr) return ::testing::AssertionFailure() << "the connect dialog does not open";
    const size_t dialogs = road::Dialogs(app.pid()).size();
    road::Press(dlg, IDCANCEL);
    if (!road::WaitGone(dlg)) return ::testing::AssertionFailure() << "the connect dialog stays";
    if (dialogs != 1) return ::testing::AssertionFailure() << dialogs << " dialogs were open";
    return ::testing::AssertionSuccess();
}

TEST(Connect, LocalServerThroughBothDialogsAndWhatIsNeverRead) {
    Program app;
    ASSERT_TRUE(app.Launch({}));
    // A server name typed into the list's field is never read: nothing is chosen.
    HWND dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    road::SetTextOf(GetDlgItem(dlg, IDC_SERVER_LIST), road::kSim);
    ASSERT_TRUE(road::Press(dlg, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure");
    // Cancel ends the sequence without a message.
    ASSERT_TRUE(SettledWithConnectDialog(app));
    EXPECT_EQ(app.TabCount(), 0);
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");

    // This computer is shown as LOCAL; its servers are listed in the library's order.
    dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(road::TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)), "LOCAL");
    EXPECT_EQ(road::ComboItems(GetDlgItem(dlg, IDC_SERVER_LIST)),
              (std::vector<std::string>{road::kSim, road::kSimFlat, road::kSimNoBrowse, road::kSimSolo}));
    ASSERT_TRUE(road::ChooseComboItem(dlg, IDC_SERVER_LIST, 0));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, IDC_TEXT_FIELD)), road::kSim);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, IDC_UPDATE_RATE)), "1000");
    EXPECT_EQ(road::TextOf(GetDlgItem(params, IDC_DEADBAND)), "0");
    road::SetTextOf(GetDlgItem(params, IDC_TEXT_FIELD), "Line1");
    road::SetTextOf(GetDlgItem(params, IDC_UPDATE_RATE), "500");
    road::SetTextOf(GetDlgItem(params, IDC_DEADBAND), "2.5");
    ASSERT_TRUE(road::Press(params, IDOK));
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.TabCount() == 1; }, 10000));
    EXPECT_EQ(app.TabLabel(0), "Line1");
    EXPECT_EQ(app.Text(IDC_STATUS).rfind("Connected: ", 0), 0u) << app.Text(IDC_STATUS);
    EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");
    EXPECT_TRUE(app.Enabled(IDC_ADD_ITEM));
    ASSERT_TRUE(app.WaitForTopic("Line1"));
    qvtest::ConfigConnection want = road::Connection("Line1", {});
    want.updateRate = 500;
    want.deadband = 2.5f;
    EXPECT_EQ(SavedConfig(app), qvtest::ConfigText({want}));
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
    EXPECT_EQ(road::ComboItems(GetDlgItem(dlg, IDC_SERVER_LIST)),
              (std::vector<std::string>{road::kSim, road::kSimFlat}));
    road::Press(dlg, IDCANCEL);
    ASSERT_TRUE(road::WaitGone(dlg));
    HWND params = OpenParams(app, 1);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, IDC_TEXT_FIELD)), road::kSimFlat);
    road::Press(params, IDOK);
    EXPECT_TRUE(qvtest::WaitUntil([&] { return app.TabCount() == 1; }, 10000));
}

TEST(Connect, RefusedGroupIsReportedAndLeavesNoConnection) {
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection("Keep", {"Static.R8"})}));
    qvtest::ControlTag refuse(L"Control.RefuseGroups", qvtest::MakeVariant(VT_BOOL, 1),
                              qvtest::MakeVariant(VT_BOOL, 0));
    ASSERT_TRUE(refuse.ok());
    HWND params = OpenParams(app, 0);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, IDC_TEXT_FIELD), "Refused");
    ASSERT_TRUE(road::Press(params, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure -- Could Not Create Group");
    ASSERT_TRUE(SettledWithConnectDialog(app));
    EXPECT_EQ(app.TabCount(), 1);
    EXPECT_EQ(app.TabLabel(0), "Keep");
    EXPECT_FALSE(app.HasTopic("Refused"));
}

// Refused fields keep the dialog open for a correction; Esc and the close box take the
// presets and nothing typed. A further connection may repeat an alias.
TEST(Connect, ParametersDialogRefusesCorrectsAndFallsBackToThePresets) {
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection(road::kSim, {"Static.R8"})}));
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");  // items present: a further connection

    HWND params = OpenParams(app, 0);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, IDC_TEXT_FIELD), "Fixed");
    road::SetTextOf(GetDlgItem(params, IDC_UPDATE_RATE), "fast");
    ASSERT_TRUE(road::Press(params, IDOK));
    EXPECT_FALSE(app.AnswerMessageBox().empty());
    road::SetTextOf(GetDlgItem(params, IDC_UPDATE_RATE), "750");
    road::SetTextOf(GetDlgItem(params, IDC_DEADBAND), "lots");
    ASSERT_TRUE(road::Press(params, IDOK));
    EXPECT_FALSE(app.AnswerMessageBox().empty());
    EXPECT_TRUE(IsWindowVisible(params));
    EXPECT_EQ(app.TabCount(), 1);
    road::SetTextOf(GetDlgItem(params, IDC_DEADBAND), "1.5");
    ASSERT_TRUE(road::Press(params, IDOK));
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.TabCount() == 2; }, 10000));

    ASSERT_TRUE(SelectTab(app, 0));
    params = OpenParams(app, 0);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, IDC_TEXT_FIELD), "Typed");
    road::SetTextOf(GetDlgItem(params, IDC_DEADBAND), "7");
    road::PostKey(GetDlgItem(params, IDC_TEXT_FIELD), VK_ESCAPE);
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.TabCount() == 3; }, 10000));

    ASSERT_TRUE(SelectTab(app, 0));
    params = OpenParams(app, 0);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, IDC_UPDATE_RATE), "250");
    PostMessageA(params, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.TabCount() == 4; }, 10000));
    EXPECT_EQ(app.SelectedTab(), 3);
    EXPECT_EQ(app.TabLabel(2), road::kSim);
    EXPECT_EQ(app.TabLabel(3), road::kSim);
    EXPECT_TRUE(app.RowNames().empty());
    EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");

    qvtest::ConfigConnection fixed = road::Connection("Fixed", {});
    fixed.updateRate = 750;
    fixed.deadband = 1.5f;
    const qvtest::ConfigConnection presets = road::Connection(road::kSim, {});
    EXPECT_EQ(SavedConfig(app),
              qvtest::ConfigText({road::Connection(road::kSim, {"Static.R8"}), fixed, presets, presets}));
}

TEST(Connect, RemoteMachineDialogRefillsTheListAndForgetsTheServerCancelKeepsBoth) {
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection("Keep", {"Static.R8"})}));
    HWND dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    HWND list = GetDlgItem(dlg, IDC_SERVER_LIST);
    ASSERT_TRUE(road::ChooseComboItem(dlg, IDC_SERVER_LIST, 1));

    // Cancel (Esc): machine, list and chosen server stay.
    ASSERT_TRUE(road::Press(dlg, IDC_SELECT_REMOTE));
    HWND remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(road::TextOf(GetDlgItem(remote, IDC_TEXT_FIELD)), "");
    road::SetTextOf(GetDlgItem(remote, IDC_TEXT_FIELD), "ELSEWHERE");
    road::PostKey(GetDlgItem(remote, IDC_TEXT_FIELD), VK_ESCAPE);
    ASSERT_TRUE(road::WaitGone(remote));
    EXPECT_EQ(road::TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)), "LOCAL");
    EXPECT_EQ(road::ComboItems(list).size(), 4u);
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, IDC_TEXT_FIELD)), road::kSimFlat);
    road::Press(params, IDOK);
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.TabCount() == 2; }, 10000));
    ASSERT_TRUE(SelectTab(app, 0));

    // OK with a machine that does not exist: shown, and its (empty) list replaces ours.
    dlg = app.OpenConnectDialog();
    ASSERT_NE(dlg, nullptr);
    list = GetDlgItem(dlg, IDC_SERVER_LIST);
    ASSERT_TRUE(road::ChooseComboItem(dlg, IDC_SERVER_LIST, 0));
    ASSERT_TRUE(road::Press(dlg, IDC_SELECT_REMOTE));
    remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    road::SetTextOf(GetDlgItem(remote, IDC_TEXT_FIELD), "NOSUCHHOST");
    ASSERT_TRUE(road::Press(remote, IDOK));
    ASSERT_TRUE(road::WaitGone(remote, 60000));
    ASSERT_TRUE(
        qvtest::WaitUntil([&] { return road::TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)) == "NOSUCHHOST"; }, 60000));
    EXPECT_TRUE(road::ComboItems(list).empty());

    // Back to this computer (an empty name): the list is refilled and no server is chosen
    // any more, so OK now tries an empty server name and fails.
    ASSERT_TRUE(road::Press(dlg, IDC_SELECT_REMOTE));
    remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(road::TextOf(GetDlgItem(remote, IDC_TEXT_FIELD)), "NOSUCHHOST");
    road::SetTextOf(GetDlgItem(remote, IDC_TEXT_FIELD), "");
    ASSERT_TRUE(road::Press(remote, IDOK));
    ASSERT_TRUE(road::WaitGone(remote));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return road::TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)) == "LOCAL"; }, 10000));
    EXPECT_EQ(road::ComboItems(list).size(), 4u);
    ASSERT_TRUE(road::Press(dlg, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure");
    ASSERT_TRUE(SettledWithConnectDialog(app));
    EXPECT_EQ(app.TabCount(), 2);
}

}  // namespace
