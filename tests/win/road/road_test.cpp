// The whole road as a new user walks it: two connections made through the dialogs,
// items picked in the browser, links taken from the clipboard, and what the program
// saved on closing. (A start from such a file: every other test here; a DDE client's live
// values through such a link: tests/win/bridge.)
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"

namespace {

using namespace road;
using Names = std::vector<std::string>;

TEST(Road, NewUserConnectsPicksLinksAndSaves) {
    const Names plantRows{"Plant.Line1.Temp", "Plant.Line2.Pressure", "Plant.Line2.Running", "Plant.Line2.State"};
    std::string saved;
    {
        Program app;
        ASSERT_TRUE(app.Launch({}));
        EXPECT_EQ(app.Text(IDC_STATUS), "<<<<<<<<<<< No Server Connections >>>>>>>>>>");
        ASSERT_TRUE(BringToFront(app.mainWindow()));

        // This computer is shown as LOCAL, its servers in the library's order; Cancel makes nothing.
        HWND dlg = app.OpenConnectDialog();
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(TextOf(GetDlgItem(dlg, IDC_MACHINE_NAME)), "LOCAL");
        EXPECT_EQ(ComboItems(GetDlgItem(dlg, IDC_SERVER_LIST)), (Names{kSim, kSimFlat, kSimNoBrowse, kSimSolo}));
        ASSERT_TRUE(Press(dlg, IDCANCEL));
        ASSERT_TRUE(WaitGone(dlg));

        // First connection with its parameters changed from the presets.
        HWND params = app.OpenParams(kSim);
        ASSERT_NE(params, nullptr) << app.AnswerMessageBox(100);
        Fill(params, {{IDC_TEXT_FIELD, "Plant"}, {IDC_UPDATE_RATE, "500"}, {IDC_DEADBAND, "2.5"}});
        ASSERT_TRUE(Press(params, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return app.TabCount() == 1; }, 10000));
        EXPECT_EQ(app.TabLabel(0), "Plant");
        EXPECT_EQ(app.Text(IDC_STATUS).rfind("Connected: ", 0), 0u) << app.Text(IDC_STATUS);
        EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");

        // Items picked one by one and a whole branch.
        dlg = app.OpenBrowser();
        ASSERT_NE(dlg, nullptr);
        RemoteTree tree(app.processHandle(), GetDlgItem(dlg, IDC_BROWSE_TREE));
        ASSERT_TRUE(tree.Expand(tree.Root()));
        ASSERT_TRUE(tree.Expand(tree.Find({"Plant"})));
        ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line1", "Temp"})));
        ASSERT_TRUE(Press(dlg, IDC_BROWSE_ADD_ITEM));
        ASSERT_TRUE(app.RowsBecome({"Plant.Line1.Temp"}));
        // On the disk within seconds, while the browser is still open: a kill loses nothing.
        EXPECT_TRUE(WaitUntil(
            [&] {
                return app.folder().ReadConfig(&saved) && saved.find("TagName = Plant.Line1.Temp\r\n") != saved.npos;
            },
            10000))
            << saved;
        ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line2"})));
        ASSERT_TRUE(Press(dlg, IDC_BROWSE_ADD_BRANCH));
        ASSERT_TRUE(app.RowsBecome(plantRows));
        ASSERT_TRUE(Press(dlg, IDCANCEL));
        ASSERT_TRUE(WaitGone(dlg));
        EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");

        // Second connection, to the flat server, one item by double-click.
        ASSERT_TRUE(app.ConnectThroughDialogs(kSimFlat, "Flat"));
        EXPECT_EQ(app.SelectedTab(), 1);
        EXPECT_TRUE(app.RowNames().empty());
        dlg = app.OpenBrowser();
        ASSERT_NE(dlg, nullptr);
        RemoteTree flat(app.processHandle(), GetDlgItem(dlg, IDC_BROWSE_TREE));
        ASSERT_TRUE(flat.DoubleClick(flat.Find({"Ramp1"})));
        ASSERT_TRUE(app.RowsBecome({"Ramp1"}));
        PostKey(GetDlgItem(dlg, IDC_BROWSE_TREE), VK_ESCAPE);
        ASSERT_TRUE(WaitGone(dlg));

        // A click copies the link of the row and arms it; a tab change disarms it, and
        // the other tab has its own rows and links.
        ASSERT_TRUE(BringToFront(app.mainWindow()));
        ASSERT_TRUE(app.ClickRow(0));
        ASSERT_TRUE(ClipboardBecomes("=Quorvane|Flat!Ramp1"));
        ASSERT_TRUE(app.ClickTab(0));
        ASSERT_TRUE(app.RowsBecome(plantRows));
        ASSERT_TRUE(app.Cut());
        EXPECT_EQ(app.RowNames(), plantRows);
        ASSERT_TRUE(app.ClickRow(0));
        ASSERT_TRUE(ClipboardBecomes("=Quorvane|Plant!Plant.Line1.Temp"));

        ASSERT_TRUE(app.Close(15000));
        ASSERT_TRUE(app.folder().ReadConfig(&saved));
    }
    qvtest::ConfigConnection plant = Connection("Plant", plantRows);
    plant.updateRate = 500;
    plant.deadband = 2.5f;
    EXPECT_EQ(saved, qvtest::ConfigText({plant, Connection("Flat", {"Ramp1"}, kSimFlat)}));
}

}  // namespace
