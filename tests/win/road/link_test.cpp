// Clicks, right clicks, drags and deletes on the item list of the running program, with
// real mouse and keyboard input, and the clipboard read back.
#include <gtest/gtest.h>

#include <ole2.h>

#include <functional>

#include "tests/win/road/drop_target.h"
#include "tests/win/road/road_env.h"

namespace {

using road::Program;
using Names = std::vector<std::string>;

const char kSentinel[] = "clipboard before";

class Link : public ::testing::Test {
  protected:
    void Launch(const std::vector<qvtest::ConfigConnection>& connections) {
        ASSERT_TRUE(app.Launch(connections));
        ASSERT_TRUE(app.WaitForValues(15000)) << app.AnswerMessageBox(100);
        list = app.Control(IDC_ITEM_LIST);
        ASSERT_TRUE(road::BringToFront(app.mainWindow()));
    }
    // Clicks into row r (which must exist) with the left or right button.
    void ClickRow(int r, bool right = false) {
        std::optional<RECT> rc = road::ListRowRect(app.processHandle(), list, r);
        ASSERT_TRUE(rc) << "row " << r;
        road::Click(list, rc->left + 20, (rc->top + rc->bottom) / 2, right);
    }
    int RowHeight() {
        std::optional<RECT> rc = road::ListRowRect(app.processHandle(), list, 0);
        return rc ? rc->bottom - rc->top : 0;
    }
    bool RowsBecome(const Names& want) {
        return qvtest::WaitUntil([&] { return app.RowNames() == want; }, 5000);
    }
    bool ClipboardBecomes(const std::string& want) {
        return qvtest::WaitUntil([&] { return road::ClipboardText() == want; }, 5000);
    }
    // Clicks a button of the form with the mouse and waits for `done`.
    bool ClickButton(int id, const std::function<bool()>& done) {
        HWND button = app.Control(id);
        RECT rc;
        if (button == nullptr || !GetClientRect(button, &rc)) return false;
        road::Click(button, rc.right / 2, rc.bottom / 2);
        return qvtest::WaitUntil(done, 10000);
    }
    // Input is handled in order: once a click on Suspend and one on Resume have taken
    // effect, everything typed or clicked before them has been handled. Neither touches
    // the clipboard or the row armed for deletion.
    void Settle() {
        ASSERT_TRUE(ClickButton(IDC_SUSPEND, [&] { return app.Enabled(IDC_RESUME); })) << "Suspend not handled";
        ASSERT_TRUE(ClickButton(IDC_RESUME, [&] { return app.Enabled(IDC_SUSPEND); })) << "Resume not handled";
    }
    void Cut(bool shiftDelete) {
        if (shiftDelete)
            road::KeyChord({VK_SHIFT}, VK_DELETE);
        else
            road::KeyChord({VK_CONTROL}, 'X');
        Settle();
    }

    Program app;
    HWND list = nullptr;
};

TEST_F(Link, ClickCopiesThePlainLinkAndArmsOneDelete) {
    Launch({road::Connection("Line1", {"Plant.Line1.Temp", "Static.R8", "Static.I4"})});
    ASSERT_TRUE(road::SetClipboardText(kSentinel));

    ClickRow(1);
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Static.R8")) << road::ClipboardText().value_or("(none)");
    std::string bytes = road::ClipboardTextBytes().value_or("");
    ASSERT_GT(bytes.size(), 25u);
    EXPECT_EQ(bytes[25], '\0');

    // Shift+Delete removes the clicked row; a second delete finds no row armed.
    Cut(true);
    ASSERT_TRUE(RowsBecome({"Plant.Line1.Temp", "Static.I4"})) << app.RowNames().size();
    Cut(false);
    EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp", "Static.I4"}));

    // The last row of a list whose rows all fit; then Ctrl+X.
    ClickRow(1);
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Static.I4"));
    Cut(false);
    ASSERT_TRUE(RowsBecome({"Plant.Line1.Temp"}));
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");

    // Below the rows: nothing copied, nothing armed.
    road::SetClipboardText(kSentinel);
    std::optional<RECT> row0 = road::ListRowRect(app.processHandle(), list, 0);
    ASSERT_TRUE(row0);
    road::Click(list, row0->left + 20, row0->bottom + 3 * RowHeight() + 2);
    Settle();
    EXPECT_EQ(road::ClipboardText(), kSentinel);
    Cut(false);
    EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp"}));

    // A right click copies the link and opens the menu; its "&Delete" removes the row, and
    // with the last item gone the button offers to disconnect.
    ClickRow(0, true);
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Plant.Line1.Temp"));
    HWND menu = nullptr;
    ASSERT_TRUE(
        qvtest::WaitUntil([&] { return (menu = road::FindTopWindow(app.pid(), "", "#32768")) != nullptr; }, 5000));
    road::KeyChord({}, 'D');
    ASSERT_TRUE(RowsBecome({}));
    EXPECT_TRUE(qvtest::WaitUntil([&] { return app.Text(IDC_CONNECT) == "Disconnect from Server"; }, 5000));
}

TEST_F(Link, RightClickBelowTheRowsOpensNoMenu) {
    Launch({road::Connection("Line1", {"Static.R8"})});
    road::SetClipboardText(kSentinel);
    std::optional<RECT> row0 = road::ListRowRect(app.processHandle(), list, 0);
    ASSERT_TRUE(row0);
    road::Click(list, row0->left + 20, row0->bottom + 2 * RowHeight() + 2, true);
    Settle();  // an open menu would take the click on Suspend
    EXPECT_EQ(road::FindTopWindow(app.pid(), "", "#32768"), nullptr);
    EXPECT_EQ(road::ClipboardText(), kSentinel);
    Cut(true);
    EXPECT_EQ(app.RowNames(), (Names{"Static.R8"}));
}

TEST_F(Link, OnlyFullyVisibleRowsCount) {
    Names items;
    for (const char* n :
         {"I1", "I2", "I4", "UI1", "UI2", "UI4", "INT", "UINT", "R4", "R8", "BSTR", "BOOL", "DATE", "CY", "ReadOnly"})
        items.push_back(std::string("Static.") + n);
    for (const char* n : {"Good", "Bad", "Uncertain", "LocalOverride", "ConfigError", "CommFailure", "LastUsable"})
        items.push_back(std::string("Quality.") + n);
    Launch({road::Connection("Many", items)});
    DWORD_PTR perPage = 0;
    SendMessageTimeoutA(list, LVM_GETCOUNTPERPAGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &perPage);
    ASSERT_GT(int(perPage), 1);
    ASSERT_LT(int(perPage), int(items.size()));
    RECT client;
    GetClientRect(list, &client);
    std::optional<RECT> partial = road::ListRowRect(app.processHandle(), list, int(perPage));
    ASSERT_TRUE(partial);
    if (partial->top + 2 >= client.bottom) GTEST_SKIP() << "the list shows no partly visible row";

    // The last fully visible row copies its link ...
    ClickRow(int(perPage) - 1);
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Many!" + items[perPage - 1]));
    // ... the partly visible one below it copies nothing and disarms the delete.
    road::SetClipboardText(kSentinel);
    road::Click(list, partial->left + 20, (partial->top + client.bottom) / 2);
    Settle();
    EXPECT_EQ(road::ClipboardText(), kSentinel);
    Cut(false);
    EXPECT_EQ(app.RowNames().size(), items.size());
}

TEST_F(Link, TabChangeDisarmsTheDelete) {
    Launch({road::Connection("A", {"Static.R8"}), road::Connection("B", {"Static.I4", "Static.I2"})});
    ASSERT_EQ(app.SelectedTab(), 1);
    ClickRow(0);
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|B!Static.I4"));
    HWND tab = app.Control(IDC_SERVER_TAB);
    std::optional<RECT> tabA = road::TabRect(app.processHandle(), tab, 0);
    ASSERT_TRUE(tabA);
    road::Click(tab, (tabA->left + tabA->right) / 2, (tabA->top + tabA->bottom) / 2);
    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.SelectedTab() == 0; }, 5000));
    ASSERT_TRUE(RowsBecome({"Static.R8"}));
    Cut(false);
    EXPECT_EQ(app.RowNames(), (Names{"Static.R8"}));
    std::optional<RECT> tabB = road::TabRect(app.processHandle(), tab, 1);
    ASSERT_TRUE(tabB);
    road::Click(tab, (tabB->left + tabB->right) / 2, (tabB->top + tabB->bottom) / 2);
    ASSERT_TRUE(RowsBecome({"Static.I4", "Static.I2"}));
    Cut(false);
    EXPECT_EQ(app.RowNames(), (Names{"Static.I4", "Static.I2"}));
}

TEST_F(Link, DragOffersTheQuotedLinkAndLeavesTheRow) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        Launch({road::Connection("Line1", {"Plant.Line1.Temp", "Static.R8"})});
        RECT main;
        GetWindowRect(app.mainWindow(), &main);
        road::DropWindow target(main.right + 20, main.top + 50, 160, 120);
        ASSERT_TRUE(target.registered());

        // A click arms row 1 for deletion; the drag of row 0 disarms it again.
        ClickRow(1);
        ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Static.R8"));
        std::optional<RECT> rc = road::ListRowRect(app.processHandle(), list, 0);
        ASSERT_TRUE(rc);
        POINT from = road::ClientToScreenPoint(list, rc->left + 20, (rc->top + rc->bottom) / 2);
        road::MouseMoveTo(from);
        road::MouseButton(false, true);
        for (int step = 1; step <= 5; ++step) road::MouseMoveTo({from.x + 4 * step, from.y + 2 * step});
        ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!'Plant.Line1.Temp'"));
        const POINT to{main.right + 100, main.top + 110};
        for (int step = 1; step <= 8; ++step)
            road::MouseMoveTo({from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8});
        qvtest::WaitUntil([] { return false; }, 300);  // paces the drag: OLE's loop sees the target
        road::MouseButton(false, false);
        ASSERT_TRUE(qvtest::WaitUntil([&] { return target.drops() == 1; }, 10000));
        const std::string quoted = std::string("=Quorvane|Line1!'Plant.Line1.Temp'") + '\0';
        EXPECT_EQ(target.hglobalBytes().substr(0, quoted.size()), quoted);
        EXPECT_EQ(target.streamBytes(), quoted);
        EXPECT_EQ(target.allowedEffects() & (DROPEFFECT_COPY | DROPEFFECT_MOVE),
                  DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE));

        // The move took nothing away, and the drag left no row armed.
        road::BringToFront(app.mainWindow());
        Cut(false);
        EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp", "Static.R8"}));
        EXPECT_EQ(road::ClipboardText(), "=Quorvane|Line1!'Plant.Line1.Temp'");
    }
    OleUninitialize();
}

}  // namespace
