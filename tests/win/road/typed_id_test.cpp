// A server that offers no browsing, and item ids too long for a row. The browser says that
// there is nothing to browse and adds typed ids; an id a DDE link cannot name is refused,
// typed or stored in the configuration, and no id is ever cut.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"

namespace {

using road::Program;
using Names = std::vector<std::string>;

TEST(TypedIds, NoBrowseServerTakesTypedIdsAndTooLongIdsAreRefused) {
    const std::string stored(300, 'S');
    Program app;
    ASSERT_TRUE(app.Launch({road::Connection("Typed", {"Static.R8", stored}, road::kSimNoBrowse)}));
    // From the configuration: left out, named in the notice, the original kept.
    EXPECT_EQ(app.RowNames(), Names{"Static.R8"});
    const std::string status = app.Text(IDC_STATUS);
    EXPECT_NE(status.find("item skipped: The item id is longer than 255 characters"), std::string::npos) << status;
    std::string bak, saved;
    EXPECT_TRUE(qvtest::ReadFileBytes(app.folder().File("quorvane.cfg.bak"), &bak));
    EXPECT_NE(bak.find(stored), std::string::npos);

    ASSERT_TRUE(qvtest::WaitUntil([&] { return app.Enabled(IDC_ADD_ITEM); }, 10000)) << app.AnswerMessageBox(100);
    HWND dlg = app.OpenBrowser();
    ASSERT_NE(dlg, nullptr);
    HWND field = GetDlgItem(dlg, IDC_TEXT_FIELD);
    road::RemoteTree tree(app.processHandle(), GetDlgItem(dlg, IDC_BROWSE_TREE));
    EXPECT_EQ(tree.Text(tree.Root()).rfind("This server does not offer browsing", 0), 0u) << tree.Text(tree.Root());
    ASSERT_TRUE(tree.Select(tree.Root()));  // leaves the field and the button as they are

    // Typed ids: the longest a link can name is taken whole, one character more refused.
    const std::string longest(255, 'L');
    auto list = [&] { return road::ListCount(app.Control(IDC_ITEM_LIST)); };
    for (const std::string& id : {std::string("Static.I4"), longest}) {
        const int before = list();
        road::SetTextOf(field, id);
        ASSERT_TRUE(road::Press(dlg, IDC_BROWSE_ADD_ITEM)) << id;
        ASSERT_TRUE(qvtest::WaitUntil([&] { return list() == before + 1; }, 10000)) << id;
    }
    road::SetTextOf(field, longest + "L");
    ASSERT_TRUE(road::Press(dlg, IDC_BROWSE_ADD_ITEM));
    EXPECT_EQ(app.AnswerMessageBox(),
              "Item not added. The item id is longer than 255 characters, the most a DDE link can name.");
    ASSERT_TRUE(road::Press(dlg, IDCANCEL));
    ASSERT_TRUE(road::WaitGone(dlg));
    EXPECT_EQ(app.RowNames(), (Names{"Static.R8", "Static.I4", longest}));
    // The typed id the server knows gets its value.
    EXPECT_TRUE(qvtest::WaitUntil(
        [&] {
            auto rows = app.ListRows(2);
            return rows.size() == 3 && !rows[1][1].empty();
        },
        10000));

    ASSERT_TRUE(app.Close());
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    EXPECT_EQ(saved,
              qvtest::ConfigText({road::Connection("Typed", {"Static.R8", "Static.I4", longest}, road::kSimNoBrowse)}));
}

}  // namespace
