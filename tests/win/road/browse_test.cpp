// The address-space browser (dialog 131) over the simulation server's hierarchical and
// flat address spaces, and over a server that offers no browsing, driven through the
// real tree, field and buttons. An id a DDE link cannot name is refused, typed or stored
// in the configuration, and no id is ever cut.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"

namespace {

using namespace road;
using Names = std::vector<std::string>;

class Browse : public ::testing::Test {
  protected:
    void Open(const qvtest::ConfigConnection& connection) {
        ASSERT_TRUE(app.Launch({connection}));
        OpenBrowser();
    }
    void OpenBrowser() {
        ASSERT_NE(dlg = app.OpenBrowser(), nullptr) << app.AnswerMessageBox(100);
        tree.emplace(app.processHandle(), GetDlgItem(dlg, IDC_BROWSE_TREE));
    }
    std::string Field() const { return TextOf(GetDlgItem(dlg, IDC_TEXT_FIELD)); }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }
    int Rows() { return ListCount(app.Control(IDC_ITEM_LIST)); }
    // Presses a browser button (none: the press was made) and waits until the list has `rows` rows.
    bool PressAndCount(int id, int rows) {
        return (id == 0 || Press(dlg, id)) && WaitUntil([&] { return Rows() == rows; }, 20000);
    }
    void Done() {
        ASSERT_TRUE(Press(dlg, IDCANCEL));
        ASSERT_TRUE(WaitGone(dlg));
    }

    Program app;
    HWND dlg = nullptr;
    std::optional<RemoteTree> tree;
};

TEST_F(Browse, HierarchicalSpaceLazyTreeAndEveryWayOfAdding) {
    Open(Connection("Plant", {}));
    RemoteTree& t = *tree;
    // The root is filled at once (branches only at this level), its children not yet.
    HTREEITEM root = t.Root();
    ASSERT_EQ(t.Text(root), "Root");
    EXPECT_EQ(t.ChildTexts(root), (Names{"Plant", "Static", "Quality", "Devices", "Control", "Empty"}));
    HTREEITEM plant = t.Find({"Plant"});
    EXPECT_TRUE(t.Children(plant).empty());
    EXPECT_FALSE(Enabled(IDC_BROWSE_ADD_ITEM));
    EXPECT_FALSE(Enabled(IDC_BROWSE_ADD_BRANCH));

    // Opening a node fills its children's children: one level ahead.
    ASSERT_TRUE(t.Expand(root));
    EXPECT_EQ(t.ChildTexts(plant), (Names{"Line1", "Line2"}));
    EXPECT_TRUE(t.Children(t.Find({"Empty"})).empty());
    ASSERT_TRUE(t.Expand(plant));
    EXPECT_EQ(t.ChildTexts(t.Find({"Plant", "Line1"})), (Names{"Temp", "Level", "Counter", "Random"}));

    // A branch offers only "Add Branch"; a leaf shows its id and offers only "Add Item".
    ASSERT_TRUE(t.Select(root));
    EXPECT_EQ(Field(), "");
    EXPECT_FALSE(Enabled(IDC_BROWSE_ADD_ITEM));
    EXPECT_TRUE(Enabled(IDC_BROWSE_ADD_BRANCH));
    ASSERT_TRUE(t.Select(t.Find({"Plant", "Line1", "Temp"})));
    EXPECT_EQ(Field(), "Plant.Line1.Temp");
    EXPECT_TRUE(Enabled(IDC_BROWSE_ADD_ITEM));
    EXPECT_FALSE(Enabled(IDC_BROWSE_ADD_BRANCH));
    ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_ITEM, 1));

    // The server's id of a leaf may differ from its browse path: "Add Item" takes the id,
    // a double-click the dotted tree path.
    ASSERT_TRUE(t.Expand(t.Find({"Devices"})));
    ASSERT_TRUE(t.Expand(t.Find({"Devices", "Boiler"})));
    HTREEITEM pressure = t.Find({"Devices", "Boiler", "Pressure"});
    ASSERT_TRUE(t.Select(pressure));
    EXPECT_EQ(Field(), "DEV:boiler/pressure");
    ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_ITEM, 2));
    ASSERT_TRUE(t.DoubleClick(pressure));
    ASSERT_TRUE(PressAndCount(0, 3));

    // A branch without children looks like a leaf but offers no id, and a double-click on
    // it adds nothing.
    HTREEITEM empty = t.Find({"Empty"});
    ASSERT_TRUE(t.Select(empty));
    EXPECT_EQ(Field(), "");
    EXPECT_FALSE(Enabled(IDC_BROWSE_ADD_ITEM));
    ASSERT_TRUE(t.DoubleClick(empty));  // handled once it returns
    EXPECT_EQ(Rows(), 3);

    // An id typed over a leaf's id is taken.
    ASSERT_TRUE(t.Select(t.Find({"Plant", "Line1", "Temp"})));
    SetTextOf(GetDlgItem(dlg, IDC_TEXT_FIELD), "Static.R8");
    ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_ITEM, 4));

    // "Add Branch" adds every leaf below the selected branch, by its browse name.
    ASSERT_TRUE(t.Select(t.Find({"Plant", "Line2"})));
    EXPECT_TRUE(Enabled(IDC_BROWSE_ADD_BRANCH));
    ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_BRANCH, 7));
    // Opening another node makes it the target, whatever stays selected.
    ASSERT_TRUE(t.Expand(t.Find({"Quality"})));
    ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_BRANCH, 14));

    Done();
    EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp", "DEV:boiler/pressure", "Devices.Boiler.Pressure", "Static.R8",
                                     "Plant.Line2.Pressure", "Plant.Line2.Running", "Plant.Line2.State", "Quality.Good",
                                     "Quality.Bad", "Quality.Uncertain", "Quality.LocalOverride", "Quality.ConfigError",
                                     "Quality.CommFailure", "Quality.LastUsable"}));
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");
    // Items the server knows get their values; the id it calls its own works.
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto rows = app.ListRows(2);
            return rows.size() == 14 && !rows[0][1].empty() && !rows[1][1].empty() &&
                   rows[3][1].rfind("1234.5678", 0) == 0;
        },
        10000));
}

TEST_F(Browse, FlatSpaceShowsLeavesOnlyWithShortNames) {
    Open(Connection("Flat", {}, kSimFlat));
    // Done with nothing added: the button still offers to disconnect.
    Done();
    EXPECT_EQ(app.Text(IDC_CONNECT), "Disconnect from Server");
    OpenBrowser();
    RemoteTree& t = *tree;

    HTREEITEM root = t.Root();
    EXPECT_EQ(t.ChildTexts(root), (Names{"Ramp1", "Sine1", "Counter1", "Random1", "Switch1", "Text1", "Setpoint1",
                                         "Shutdown", "RefuseGroups", "RefuseItems", "RefuseWrites", "BigBranchSize"}));
    ASSERT_TRUE(t.Expand(root));
    for (HTREEITEM h : t.Children(root)) EXPECT_TRUE(t.Children(h).empty()) << t.Text(h);

    // A leaf whose short name the server does not know as an id keeps its browse name.
    ASSERT_TRUE(t.Select(t.Find({"Shutdown"})));
    EXPECT_EQ(Field(), "Control.Shutdown");
    HTREEITEM ramp = t.Find({"Ramp1"});
    ASSERT_TRUE(t.Select(ramp));
    EXPECT_EQ(Field(), "Ramp1");
    ASSERT_TRUE(t.DoubleClick(ramp));
    ASSERT_TRUE(PressAndCount(0, 1));

    // "Add Branch" on the root adds every leaf of the server.
    ASSERT_TRUE(t.Select(root));
    ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_BRANCH, 13));
    Done();
    Names rows = app.RowNames();
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], "Ramp1");
    EXPECT_EQ(rows[8], "Control.Shutdown");
}

TEST_F(Browse, NoBrowseServerTakesTypedIdsAndTooLongIdsAreRefused) {
    const std::string stored(300, 'S');
    ASSERT_TRUE(app.Launch({Connection("Typed", {"Static.R8", stored}, kSimNoBrowse)}));
    // From the configuration: left out, named in the notice, the original kept.
    EXPECT_EQ(app.RowNames(), Names{"Static.R8"});
    const std::string status = app.Text(IDC_STATUS);
    EXPECT_NE(status.find("item skipped: The item id is longer than 255 characters"), std::string::npos) << status;
    std::string bak, saved;
    EXPECT_TRUE(qvtest::ReadFileBytes(app.folder().File("quorvane.cfg.bak"), &bak));
    EXPECT_NE(bak.find(stored), std::string::npos);

    OpenBrowser();
    EXPECT_EQ(tree->Text(tree->Root()).rfind("This server does not offer browsing", 0), 0u) << tree->Text(tree->Root());
    ASSERT_TRUE(tree->Select(tree->Root()));  // leaves the field and the button as they are
    // Typed ids: the longest a link can name is taken whole, one character more refused.
    const std::string longest(255, 'L');
    int rows = 1;
    for (const std::string& id : {std::string("Static.I4"), longest}) {
        SetTextOf(GetDlgItem(dlg, IDC_TEXT_FIELD), id);
        ASSERT_TRUE(PressAndCount(IDC_BROWSE_ADD_ITEM, ++rows)) << id;
    }
    SetTextOf(GetDlgItem(dlg, IDC_TEXT_FIELD), longest + "L");
    ASSERT_TRUE(Press(dlg, IDC_BROWSE_ADD_ITEM));
    EXPECT_EQ(app.AnswerMessageBox(),
              "Item not added. The item id is longer than 255 characters, the most a DDE link can name.");
    Done();
    EXPECT_EQ(app.RowNames(), (Names{"Static.R8", "Static.I4", longest}));
    // The typed id the server knows gets its value.
    EXPECT_TRUE(WaitUntil([&] { return app.ListRows(2).size() == 3 && !app.ListRows(2)[1][1].empty(); }, 10000));

    ASSERT_TRUE(app.Close());
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    EXPECT_EQ(saved, qvtest::ConfigText({Connection("Typed", {"Static.R8", "Static.I4", longest}, kSimNoBrowse)}));
}

}  // namespace
