// The whole road as a new user walks it: two connections made through the dialogs,
// items picked in the browser, a link taken from the clipboard, the program closed and
// started again from what it saved, and a DDE client fed live values through that link.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"
#include "tests/win/support/dde.h"

namespace {

using road::Program;
using road::RemoteTree;
using Names = std::vector<std::string>;

bool ClickTab(Program& app, int index) {
    HWND tab = app.Control(IDC_SERVER_TAB);
    std::optional<RECT> rc = road::TabRect(app.processHandle(), tab, index);
    if (!rc) return false;
    road::Click(tab, (rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
    return qvtest::WaitUntil([&] { return app.SelectedTab() == index; }, 5000);
}

bool ClickRow(Program& app, int row) {
    HWND list = app.Control(IDC_ITEM_LIST);
    std::optional<RECT> rc = road::ListRowRect(app.processHandle(), list, row);
    if (!rc) return false;
    road::Click(list, rc->left + 20, (rc->top + rc->bottom) / 2);
    return true;
}

bool RowsBecome(Program& app, const Names& want) {
    return qvtest::WaitUntil([&] { return app.RowNames() == want; }, 10000);
}

// "=Quorvane|topic!item" -> service, topic, item.
bool SplitLink(const std::string& link, std::string* service, std::string* topic, std::string* item) {
    size_t bar = link.find('|'), bang = link.find('!');
    if (link.empty() || link[0] != '=' || bar == std::string::npos || bang == std::string::npos || bang < bar)
        return false;
    *service = link.substr(1, bar - 1);
    *topic = link.substr(bar + 1, bang - bar - 1);
    *item = link.substr(bang + 1);
    return true;
}

TEST(Road, NewUserConnectsPicksLinksRestartsAndFeedsADdeClient) {
    const Names plantRows{"Plant.Line1.Temp", "Plant.Line2.Pressure", "Plant.Line2.Running", "Plant.Line2.State"};
    std::string saved, link;
    {
        Program app;
        ASSERT_TRUE(app.Launch({}));
        EXPECT_EQ(app.Text(IDC_STATUS), "<<<<<<<<<<< No Server Connections >>>>>>>>>>");
        ASSERT_TRUE(road::BringToFront(app.mainWindow()));

        // First connection, items picked one by one and a whole branch.
        ASSERT_TRUE(app.ConnectThroughDialogs(road::kSim, "Plant"));
        HWND dlg = app.OpenBrowser();
        ASSERT_NE(dlg, nullptr);
        RemoteTree tree(app.processHandle(), GetDlgItem(dlg, 1004));
        ASSERT_TRUE(tree.Expand(tree.Root()));
        ASSERT_TRUE(tree.Expand(tree.Find({"Plant"})));
        ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line1", "Temp"})));
        ASSERT_TRUE(road::Press(dlg, 1005));
        ASSERT_TRUE(RowsBecome(app, {"Plant.Line1.Temp"}));
        ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line2"})));
        ASSERT_TRUE(road::Press(dlg, 1006));
        ASSERT_TRUE(RowsBecome(app, plantRows));
        ASSERT_TRUE(road::Press(dlg, IDCANCEL));
        ASSERT_TRUE(road::WaitGone(dlg));
        EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");

        // Second connection, to the flat server, one item by double-click.
        ASSERT_TRUE(app.ConnectThroughDialogs(road::kSimFlat, "Flat"));
        EXPECT_EQ(app.SelectedTab(), 1);
        EXPECT_TRUE(app.RowNames().empty());
        dlg = app.OpenBrowser();
        ASSERT_NE(dlg, nullptr);
        RemoteTree flat(app.processHandle(), GetDlgItem(dlg, 1004));
        ASSERT_TRUE(flat.DoubleClick(flat.Find({"Ramp1"})));
        ASSERT_TRUE(RowsBecome(app, {"Ramp1"}));
        road::PostKey(GetDlgItem(dlg, 1004), VK_ESCAPE);
        ASSERT_TRUE(road::WaitGone(dlg));

        // A click copies the link of the row; the other tab has its own rows and links.
        ASSERT_TRUE(road::BringToFront(app.mainWindow()));
        ASSERT_TRUE(ClickRow(app, 0));
        ASSERT_TRUE(qvtest::WaitUntil([] { return road::ClipboardText() == "=Quorvane|Flat!Ramp1"; }, 5000));
        ASSERT_TRUE(ClickTab(app, 0));
        ASSERT_TRUE(RowsBecome(app, plantRows));
        ASSERT_TRUE(ClickRow(app, 0));
        ASSERT_TRUE(
            qvtest::WaitUntil([] { return road::ClipboardText() == "=Quorvane|Plant!Plant.Line1.Temp"; }, 5000));
        link = road::ClipboardText().value_or("");

        ASSERT_TRUE(app.Close(15000));
        ASSERT_TRUE(app.folder().ReadConfig(&saved));
    }
    EXPECT_EQ(saved, qvtest::ConfigText(
                         {road::Connection("Plant", plantRows), road::Connection("Flat", {"Ramp1"}, road::kSimFlat)}));

    // The next start restores both connections with their items, from the saved bytes.
    Program again;
    ASSERT_TRUE(again.Start(saved));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return again.TabCount() == 2 && again.SelectedTab() == 1; }, 30000));
    EXPECT_EQ(again.TabLabel(0), "Plant");
    EXPECT_EQ(again.TabLabel(1), "Flat");
    EXPECT_TRUE(RowsBecome(again, {"Ramp1"}));
    EXPECT_EQ(again.Text(IDC_STATUS).rfind("Connected: ", 0), 0u) << again.Text(IDC_STATUS);
    ASSERT_TRUE(road::BringToFront(again.mainWindow()));
    ASSERT_TRUE(ClickTab(again, 0));
    EXPECT_TRUE(RowsBecome(again, plantRows));
    EXPECT_TRUE(again.WaitForValues(10000));

    // A DDE client follows the link taken from the clipboard and receives live values.
    std::string service, topic, item;
    ASSERT_TRUE(SplitLink(link, &service, &topic, &item)) << link;
    qvdde::DdeClient client;
    ASSERT_TRUE(client.ok());
    UINT error = 0;
    auto conv = client.Connect(service, topic, &error);
    ASSERT_TRUE(conv) << qvdde::ErrorName(error);
    ASSERT_TRUE(conv->StartAdvise(item, qvtest::kTestFormat).ok);
    std::vector<double> values;
    for (int i = 0; i < 3; ++i) {
        auto advise = qvtest::WaitForAny(client, item, 10000);
        ASSERT_TRUE(advise) << "advise " << i;
        auto cell = qvtest::CellOf(*advise);
        ASSERT_TRUE(cell && cell->kind == qvdde::CellKind::Number) << qvtest::Show(*advise);
        values.push_back(cell->number);
    }
    // The temperature moves: the values are live, not one stored value repeated.
    EXPECT_TRUE(values[0] != values[1] || values[1] != values[2]);
}

}  // namespace
