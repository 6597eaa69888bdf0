// The connect road through dialogs 134, 135 and 136, seen from outside the program.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"
#include "tests/win/support/tools.h"

namespace {

using road::Program;

TEST(Connect, LocalServerThroughBothDialogs) {
    Program app;
    std::string why;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    // This computer is shown as LOCAL; its servers are listed in the library's order.
    EXPECT_EQ(road::TextOf(GetDlgItem(dlg, 1010)), "LOCAL");
    std::vector<std::string> servers = road::ComboItems(GetDlgItem(dlg, 1011));
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0], road::kSim);
    EXPECT_EQ(servers[1], road::kSimFlat);
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 0));
    ASSERT_TRUE(road::Press(dlg, IDOK));

    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, 1013)), road::kSim);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, 1014)), "1000");
    EXPECT_EQ(road::TextOf(GetDlgItem(params, 1015)), "0");
    road::SetTextOf(GetDlgItem(params, 1013), "Line1");
    road::SetTextOf(GetDlgItem(params, 1014), "500");
    road::SetTextOf(GetDlgItem(params, 1015), "2.5");
    ASSERT_TRUE(road::Press(params, IDOK));
    ASSERT_TRUE(road::WaitGone(params));

    ASSERT_TRUE(road::WaitUntil([&] { return app.TabCount() == 1; }, 5000));
    EXPECT_EQ(app.SelectedTab(), 0);
    EXPECT_EQ(app.TabLabel(0), "Line1");
    EXPECT_EQ(app.Text(qvtest::kStatus).rfind("Connected: ", 0), 0u) << app.Text(qvtest::kStatus);
    EXPECT_EQ(app.Text(qvtest::kConnect), "Disconnect from Server");
    EXPECT_TRUE(app.Enabled(qvtest::kAddItem));
    ASSERT_TRUE(app.WaitForTopic("Line1", 5000, &why)) << why;

    ASSERT_TRUE(app.Close(15000, &why)) << why;
    std::string saved;
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    qvtest::ConfigConnection want = road::Connection("Line1", {});
    want.updateRate = 500;
    want.deadband = 2.5f;
    EXPECT_EQ(saved, qvtest::ConfigText({want}));
}

}  // namespace

namespace {

// Registers the simulation server for OPC DA 1.0 only for one scope, then as usual again.
class Da1OnlyRegistration {
  public:
    bool Apply(std::string* why) {
        qvtest::ToolRun run = qvtest::RunTool("QuorvaneSim", {"/RegServer", "/DA1"}, 30000);
        applied_ = run.finished && run.exitCode == 0;
        if (!applied_) *why = run.Describe();
        return applied_;
    }
    ~Da1OnlyRegistration() {
        if (applied_) qvtest::RunTool("QuorvaneSim", {"/RegServer"}, 30000);
    }

  private:
    bool applied_ = false;
};

// Sets a control flag of the simulation server for one scope, poked through the program's
// own DDE topic (a client of the server's own would need a group, which the flag may
// refuse).
class SimFlag {
  public:
    SimFlag(std::string topic, std::string tag) : topic_(std::move(topic)), tag_(std::move(tag)) {}
    bool Set(std::string* why) { return set_ = Poke("1", why); }
    ~SimFlag() {
        std::string ignored;
        if (set_) Poke("0", &ignored);
    }

  private:
    bool Poke(const std::string& value, std::string* why) {
        qvtest::ToolRun run =
            qvtest::RunTool("qvdde", {"--topic", topic_, "--poke", tag_, value, "--as", "bool"}, 20000);
        if (run.finished && run.exitCode == 0) return true;
        *why = run.Describe();
        return false;
    }
    std::string topic_, tag_;
    bool set_ = false;
};

std::string SavedConfig(Program& app) {
    std::string why, saved;
    if (!app.Close(15000, &why)) return "not closed: " + why;
    app.folder().ReadConfig(&saved);
    return saved;
}

}  // namespace

TEST(Connect, ServersRegisteredForDa1OnlyAreListedByTheFallbackEnumeration) {
    std::string why;
    Da1OnlyRegistration da1;
    ASSERT_TRUE(da1.Apply(&why)) << why;
    Program app;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    // The DA 2.0 enumeration finds nothing now; the list comes from the DA 1.0 one.
    std::vector<std::string> servers = road::ComboItems(GetDlgItem(dlg, 1011));
    ASSERT_EQ(servers, (std::vector<std::string>{road::kSim, road::kSimFlat}));
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 1));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, 1013)), road::kSimFlat);
    road::Press(params, IDOK);
    EXPECT_TRUE(road::WaitUntil([&] { return app.TabCount() == 1; }, 10000));
}

TEST(Connect, TypedServerNameIsNeverReadAndAnEmptyNameFails) {
    std::string why;
    Program app;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    // Typing a valid name into the combo's edit field chooses nothing.
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    road::SetTextOf(GetDlgItem(dlg, 1011), road::kSim);
    ASSERT_TRUE(road::Press(dlg, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure");
    EXPECT_EQ(road::FindTopWindow(app.pid(), road::kParamsCaption), nullptr);
    EXPECT_EQ(app.TabCount(), 0);

    // Cancel ends the sequence without a message.
    dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    ASSERT_TRUE(road::Press(dlg, IDCANCEL));
    ASSERT_TRUE(road::WaitGone(dlg));
    Sleep(300);
    EXPECT_TRUE(road::Dialogs(app.pid()).empty());
    EXPECT_EQ(app.TabCount(), 0);
    EXPECT_EQ(app.Text(qvtest::kConnect), "Connect to OPC Server");
}

TEST(Connect, RefusedGroupIsReportedAndLeavesNoConnection) {
    std::string why;
    Program app;
    // A first connection keeps the simulation server running, so that its flag stays set,
    // and carries the flag as one of its items.
    ASSERT_TRUE(app.Launch({road::Connection("Keep", {"Static.R8", "Control.RefuseGroups"})}, &why)) << why;
    ASSERT_TRUE(app.WaitForValues(10000));
    SimFlag refuse("Keep", "Control.RefuseGroups");
    ASSERT_TRUE(refuse.Set(&why)) << why;

    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 0));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, 1013), "Refused");
    ASSERT_TRUE(road::Press(params, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure -- Could Not Create Group");
    Sleep(300);
    EXPECT_EQ(app.TabCount(), 1);
    EXPECT_EQ(app.TabLabel(0), "Keep");
    std::string unused;
    EXPECT_FALSE(app.WaitForTopic("Refused", 500, &unused));
}

TEST(Connect, EscInTheParametersDialogConnectsWithThePresets) {
    std::string why;
    Program app;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 0));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);

    // An update rate that does not parse is refused: the dialog stays open.
    road::SetTextOf(GetDlgItem(params, 1013), "Typed");
    road::SetTextOf(GetDlgItem(params, 1014), "fast");
    ASSERT_TRUE(road::Press(params, IDOK));
    std::string refusal = app.AnswerMessageBox();
    EXPECT_FALSE(refusal.empty());
    EXPECT_TRUE(IsWindowVisible(params));
    EXPECT_EQ(app.TabCount(), 0);

    // Esc afterwards: neither the typed alias nor anything else typed is taken.
    road::SetTextOf(GetDlgItem(params, 1015), "7");
    road::PostKey(GetDlgItem(params, 1013), VK_ESCAPE);
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(road::WaitUntil([&] { return app.TabCount() == 1; }, 10000));
    EXPECT_EQ(app.TabLabel(0), road::kSim);
    EXPECT_EQ(SavedConfig(app), qvtest::ConfigText({road::Connection(road::kSim, {})}));
}

TEST(Connect, RefusedFieldCanBeCorrectedBeforeOk) {
    std::string why;
    Program app;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 0));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, 1013), "Fixed");
    road::SetTextOf(GetDlgItem(params, 1015), "lots");  // the deadband this time
    ASSERT_TRUE(road::Press(params, IDOK));
    EXPECT_FALSE(app.AnswerMessageBox().empty());
    EXPECT_TRUE(IsWindowVisible(params));
    road::SetTextOf(GetDlgItem(params, 1014), "750");
    road::SetTextOf(GetDlgItem(params, 1015), "1.5");
    ASSERT_TRUE(road::Press(params, IDOK));
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(road::WaitUntil([&] { return app.TabCount() == 1; }, 10000));
    qvtest::ConfigConnection want = road::Connection("Fixed", {});
    want.updateRate = 750;
    want.deadband = 1.5f;
    EXPECT_EQ(SavedConfig(app), qvtest::ConfigText({want}));
}

TEST(Connect, RemoteMachineDialogRefillsTheListAndForgetsTheServerCancelKeepsBoth) {
    std::string why;
    Program app;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    HWND list = GetDlgItem(dlg, 1011);
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 0));

    // Cancel: machine, list and chosen server stay.
    ASSERT_TRUE(road::Press(dlg, 1012));
    HWND remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(road::TextOf(GetDlgItem(remote, 1013)), "");
    road::SetTextOf(GetDlgItem(remote, 1013), "ELSEWHERE");
    ASSERT_TRUE(road::Press(remote, IDCANCEL));
    ASSERT_TRUE(road::WaitGone(remote));
    EXPECT_EQ(road::TextOf(GetDlgItem(dlg, 1010)), "LOCAL");
    EXPECT_EQ(road::ComboItems(list).size(), 2u);

    // OK with a machine that does not exist: shown, and its (empty) list replaces ours.
    ASSERT_TRUE(road::Press(dlg, 1012));
    remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    road::SetTextOf(GetDlgItem(remote, 1013), "NOSUCHHOST");
    ASSERT_TRUE(road::Press(remote, IDOK));
    ASSERT_TRUE(road::WaitGone(remote, 60000));
    ASSERT_TRUE(road::WaitUntil([&] { return road::TextOf(GetDlgItem(dlg, 1010)) == "NOSUCHHOST"; }, 60000));
    EXPECT_TRUE(road::ComboItems(list).empty());

    // Back to this computer (an empty name): the list is refilled and no server is chosen
    // any more, so OK now tries an empty server name and fails.
    ASSERT_TRUE(road::Press(dlg, 1012));
    remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    EXPECT_EQ(road::TextOf(GetDlgItem(remote, 1013)), "NOSUCHHOST");
    road::SetTextOf(GetDlgItem(remote, 1013), "");
    ASSERT_TRUE(road::Press(remote, IDOK));
    ASSERT_TRUE(road::WaitGone(remote));
    ASSERT_TRUE(road::WaitUntil([&] { return road::TextOf(GetDlgItem(dlg, 1010)) == "LOCAL"; }, 10000));
    EXPECT_EQ(road::ComboItems(list).size(), 2u);
    ASSERT_TRUE(road::Press(dlg, IDOK));
    EXPECT_EQ(app.AnswerMessageBox(), "Connection Failure");
    EXPECT_EQ(app.TabCount(), 0);
}

TEST(Connect, CancelledRemoteMachineKeepsTheChosenServer) {
    std::string why;
    Program app;
    ASSERT_TRUE(app.Launch({}, &why)) << why;
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 1));
    ASSERT_TRUE(road::Press(dlg, 1012));
    HWND remote = road::WaitForDialog(app.pid(), road::kRemoteCaption);
    ASSERT_NE(remote, nullptr);
    road::PostKey(GetDlgItem(remote, 1013), VK_ESCAPE);
    ASSERT_TRUE(road::WaitGone(remote));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    EXPECT_EQ(road::TextOf(GetDlgItem(params, 1013)), road::kSimFlat);
    road::Press(params, IDOK);
    EXPECT_TRUE(road::WaitUntil([&] { return app.TabCount() == 1; }, 10000));
}

TEST(Connect, CloseBoxKeepsThePresetsAndASecondConnectionWithTheSameAliasIsAccepted) {
    std::string why;
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection(road::kSim, {"Static.R8"})}, &why)) << why;
    EXPECT_EQ(app.Text(qvtest::kConnect), "Connect to OPC Server");  // items present: a further connection
    HWND dlg = app.OpenConnectDialog(&why);
    ASSERT_NE(dlg, nullptr) << why;
    ASSERT_TRUE(road::ChooseComboItem(dlg, 1011, 0));
    ASSERT_TRUE(road::Press(dlg, IDOK));
    HWND params = road::WaitForDialog(app.pid(), road::kParamsCaption);
    ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
    road::SetTextOf(GetDlgItem(params, 1014), "250");
    PostMessageA(params, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(road::WaitGone(params));
    ASSERT_TRUE(road::WaitUntil([&] { return app.TabCount() == 2; }, 10000));
    EXPECT_EQ(app.SelectedTab(), 1);
    EXPECT_EQ(app.TabLabel(0), road::kSim);
    EXPECT_EQ(app.TabLabel(1), road::kSim);
    EXPECT_TRUE(app.RowNames().empty());
    EXPECT_EQ(app.Text(qvtest::kConnect), "Disconnect from Server");
    EXPECT_EQ(SavedConfig(app), qvtest::ConfigText({road::Connection(road::kSim, {"Static.R8"}),
                                                    road::Connection(road::kSim, {})}));
}
