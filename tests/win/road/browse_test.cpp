// The address-space browser (dialog 131) over the simulation server's hierarchical and
// flat address spaces, driven through the real tree, field and buttons.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"

namespace {

using road::Program;
using road::RemoteTree;
using Names = std::vector<std::string>;

struct Browser {
    HWND dlg = nullptr;
    HWND tree = nullptr;
    HWND field = nullptr;
    std::string Field() const { return road::TextOf(field); }
    bool AddItemEnabled() const { return IsWindowEnabled(GetDlgItem(dlg, 1005)) != FALSE; }
    bool AddBranchEnabled() const { return IsWindowEnabled(GetDlgItem(dlg, 1006)) != FALSE; }
};

std::string Dump(const std::vector<std::vector<std::string>>& rows) {
    std::string out;
    for (const auto& r : rows) {
        for (const auto& c : r) out += "[" + c + "]";
        out += "\n";
    }
    return out;
}

bool OpenBrowser(Program& app, Browser* b) {
    b->dlg = app.OpenBrowser();
    if (b->dlg == nullptr) return false;
    b->tree = GetDlgItem(b->dlg, 1004);
    b->field = GetDlgItem(b->dlg, 1013);
    return true;
}

// Presses a browser button and waits until the list has `rows` rows.
bool PressAndCount(Program& app, const Browser& b, int id, int rows) {
    if (!road::Press(b.dlg, id)) return false;
    return qvtest::WaitUntil([&] { return road::ListCount(app.Control(IDC_ITEM_LIST)) == rows; }, 20000);
}

TEST(Browse, HierarchicalSpaceLazyTreeAndEveryWayOfAdding) {
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection("Plant", {})}));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.Enabled(IDC_ADD_ITEM); }, 10000)) << app.AnswerMessageBox(100);
    Browser b;
    ASSERT_TRUE(OpenBrowser(app, &b));
    RemoteTree tree(app.processHandle(), b.tree);

    // The root is filled at once (branches only at this level), its children not yet.
    HTREEITEM root = tree.Root();
    ASSERT_EQ(tree.Text(root), "Root");
    EXPECT_EQ(tree.ChildTexts(root), (Names{"Plant", "Static", "Quality", "Devices", "Control", "Empty"}));
    HTREEITEM plant = tree.Find({"Plant"});
    EXPECT_TRUE(tree.Children(plant).empty());
    EXPECT_FALSE(b.AddItemEnabled());
    EXPECT_FALSE(b.AddBranchEnabled());

    // Opening a node fills its children's children: one level ahead.
    ASSERT_TRUE(tree.Expand(root));
    EXPECT_EQ(tree.ChildTexts(plant), (Names{"Line1", "Line2"}));
    EXPECT_TRUE(tree.Children(tree.Find({"Empty"})).empty());
    ASSERT_TRUE(tree.Expand(plant));
    EXPECT_EQ(tree.ChildTexts(tree.Find({"Plant", "Line1"})), (Names{"Temp", "Level", "Counter", "Random"}));

    // A branch offers only "Add Branch"; a leaf shows its id and offers only "Add Item".
    ASSERT_TRUE(tree.Select(root));
    EXPECT_EQ(b.Field(), "");
    EXPECT_FALSE(b.AddItemEnabled());
    EXPECT_TRUE(b.AddBranchEnabled());
    ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line1", "Temp"})));
    EXPECT_EQ(b.Field(), "Plant.Line1.Temp");
    EXPECT_TRUE(b.AddItemEnabled());
    EXPECT_FALSE(b.AddBranchEnabled());
    ASSERT_TRUE(PressAndCount(app, b, 1005, 1));

    // The server's id of a leaf may differ from its browse path: "Add Item" takes the id,
    // a double-click the dotted tree path.
    ASSERT_TRUE(tree.Expand(tree.Find({"Devices"})));
    ASSERT_TRUE(tree.Expand(tree.Find({"Devices", "Boiler"})));
    HTREEITEM pressure = tree.Find({"Devices", "Boiler", "Pressure"});
    ASSERT_TRUE(tree.Select(pressure));
    EXPECT_EQ(b.Field(), "DEV:boiler/pressure");
    ASSERT_TRUE(PressAndCount(app, b, 1005, 2));
    ASSERT_TRUE(tree.DoubleClick(pressure));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return road::ListCount(app.Control(IDC_ITEM_LIST)) == 3; }, 10000));

    // A branch without children looks like a leaf but offers no id, and a double-click on
    // it adds nothing.
    HTREEITEM empty = tree.Find({"Empty"});
    ASSERT_TRUE(tree.Select(empty));
    EXPECT_EQ(b.Field(), "");
    EXPECT_FALSE(b.AddItemEnabled());
    ASSERT_TRUE(tree.DoubleClick(empty));  // handled once it returns
    EXPECT_EQ(road::ListCount(app.Control(IDC_ITEM_LIST)), 3);

    // An id typed over a leaf's id, and a long one, taken whole.
    ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line1", "Temp"})));
    road::SetTextOf(b.field, "Static.R8");
    ASSERT_TRUE(PressAndCount(app, b, 1005, 4));
    const std::string longId(150, 'L');
    road::SetTextOf(b.field, longId);
    ASSERT_TRUE(PressAndCount(app, b, 1005, 5));

    // "Add Branch" adds every leaf below the selected branch, by its browse name.
    ASSERT_TRUE(tree.Select(tree.Find({"Plant", "Line2"})));
    EXPECT_TRUE(b.AddBranchEnabled());
    ASSERT_TRUE(PressAndCount(app, b, 1006, 8));
    // Opening another node makes it the target, whatever stays selected.
    ASSERT_TRUE(tree.Expand(tree.Find({"Quality"})));
    ASSERT_TRUE(PressAndCount(app, b, 1006, 15));

    ASSERT_TRUE(road::Press(b.dlg, IDCANCEL));
    ASSERT_TRUE(road::WaitGone(b.dlg));
    EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp", "DEV:boiler/pressure", "Devices.Boiler.Pressure", "Static.R8",
                                     longId, "Plant.Line2.Pressure", "Plant.Line2.Running", "Plant.Line2.State",
                                     "Quality.Good", "Quality.Bad", "Quality.Uncertain", "Quality.LocalOverride",
                                     "Quality.ConfigError", "Quality.CommFailure", "Quality.LastUsable"}));
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");
    // Items the server knows get their values; the id it calls its own works.
    EXPECT_TRUE(qvtest::WaitUntil(
        [&] {
            auto rows = app.ListRows(2);
            return rows.size() == 15 && !rows[0][1].empty() && !rows[1][1].empty() &&
                   rows[3][1].rfind("1234.5678", 0) == 0;
        },
        10000))
        << Dump(app.ListRows(3));
}

TEST(Browse, FlatSpaceShowsLeavesOnlyWithShortNames) {
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection("Flat", {}, road::kSimFlat)}));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.Enabled(IDC_ADD_ITEM); }, 10000)) << app.AnswerMessageBox(100);
    Browser b;
    ASSERT_TRUE(OpenBrowser(app, &b));
    RemoteTree tree(app.processHandle(), b.tree);
    HTREEITEM root = tree.Root();
    const Names leaves{"Ramp1",     "Sine1",    "Counter1",     "Random1",     "Switch1",      "Text1",
                       "Setpoint1", "Shutdown", "RefuseGroups", "RefuseItems", "RefuseWrites", "BigBranchSize"};
    EXPECT_EQ(tree.ChildTexts(root), leaves);
    for (HTREEITEM h : tree.Children(root)) EXPECT_GT(tree.Data(h), 0) << tree.Text(h);
    ASSERT_TRUE(tree.Expand(root));
    for (HTREEITEM h : tree.Children(root)) EXPECT_TRUE(tree.Children(h).empty()) << tree.Text(h);

    // A leaf whose short name the server does not know as an id keeps its browse name.
    ASSERT_TRUE(tree.Select(tree.Find({"Shutdown"})));
    EXPECT_EQ(b.Field(), "Control.Shutdown");
    HTREEITEM ramp = tree.Find({"Ramp1"});
    ASSERT_TRUE(tree.Select(ramp));
    EXPECT_EQ(b.Field(), "Ramp1");
    ASSERT_TRUE(tree.DoubleClick(ramp));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return road::ListCount(app.Control(IDC_ITEM_LIST)) == 1; }, 10000));

    // "Add Branch" on the root adds every leaf of the server.
    ASSERT_TRUE(tree.Select(root));
    ASSERT_TRUE(PressAndCount(app, b, 1006, 13));
    ASSERT_TRUE(road::Press(b.dlg, IDCANCEL));
    ASSERT_TRUE(road::WaitGone(b.dlg));
    Names rows = app.RowNames();
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], "Ramp1");
    EXPECT_EQ(rows[8], "Control.Shutdown");
}

TEST(Browse, DoneWithNothingAddedRecomputesTheButton) {
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection("Plant", {})}));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.Enabled(IDC_ADD_ITEM); }, 10000)) << app.AnswerMessageBox(100);
    EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");
    Browser b;
    ASSERT_TRUE(OpenBrowser(app, &b));
    road::PostKey(b.tree, VK_ESCAPE);
    ASSERT_TRUE(road::WaitGone(b.dlg));
    EXPECT_EQ(road::ListCount(app.Control(IDC_ITEM_LIST)), 0);
    EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");
}

}  // namespace
