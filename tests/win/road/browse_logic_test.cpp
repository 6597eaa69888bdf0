// The browser dialog's own logic, run in this process over the fake library, whose
// address space mixes leaves and branches in one node, so that the order of the children,
// the calls made for a flat space and the handling of positions the library refuses can
// be seen call by call. The dialog runs modally on its own thread; the test drives its
// controls with messages and reads the calls the dialog made.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "opc/OpcLibrary.h"
#include "res/resource.h"
#include "ui/BrowseItemsDlg.h"
#include "tests/win/road/driver.h"
#include "tests/win/support/fake_opc.h"

namespace {

using Names = std::vector<std::string>;

class BrowseLogic : public ::testing::Test {
  protected:
    // "Gone" is listed but cannot be moved to, and neither can a leaf.
    void SetUp() override {
        fakeopc::Install();
        fakeopc::State& s = fakeopc::S();
        s.leaves = {{"", {"Loose"}}, {"A", {"A.L1", "A.L2"}}, {"A.B", {"A.B.Deep"}}};
        s.branches = {{"", {"A", "Empty", "Gone"}}, {"A", {"A.B"}}};
        s.acceptsPosition = [](const std::string& path) {
            const fakeopc::State& s = fakeopc::S();
            return path.empty() || path == "Empty" || s.leaves.count(path) || s.branches.count(path);
        };
    }
    void Run(WORD namespaceType) {
        fakeopc::S().namespaceType = namespaceType;
        thread_ = std::thread([this] {
            CBrowseItemsDlg dlg;
            dlg.m_hServer = 7;
            dlg.DoModal();
        });
        ASSERT_TRUE(qvtest::WaitUntil(
            [&] { return (dlg_ = road::FindTopWindow(GetCurrentProcessId(), "Dialog")) != nullptr; }, 10000));
        tree_ = GetDlgItem(dlg_, IDC_BROWSE_TREE);
    }
    void TearDown() override {
        if (dlg_ != nullptr) PostMessageA(dlg_, WM_COMMAND, IDCANCEL, 0);
        if (thread_.joinable()) thread_.join();
        OpcSetLibraryTable(nullptr);
    }
    HTREEITEM Child(HTREEITEM parent, const std::string& text) {
        for (HTREEITEM h = TreeView_GetChild(tree_, parent); h != nullptr; h = TreeView_GetNextSibling(tree_, h))
            if (Text(h) == text) return h;
        return nullptr;
    }
    Names Children(HTREEITEM parent) {
        Names out;
        for (HTREEITEM h = TreeView_GetChild(tree_, parent); h != nullptr; h = TreeView_GetNextSibling(tree_, h))
            out.push_back(Text(h));
        return out;
    }
    std::string Text(HTREEITEM h) {
        char text[256] = {};
        TVITEMA item{};
        item.mask = TVIF_TEXT | TVIF_HANDLE;
        item.hItem = h;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tree_, TVM_GETITEMA, 0, LPARAM(&item));
        return text;
    }
    // The browse calls, as "position <path>" and "browse <type>".
    Names Calls() {
        Names out;
        for (const std::string& c : fakeopc::CallsStartingWith("")) {
            if (c.rfind("SetBrowsePosition 7 ", 0) == 0) out.push_back("position " + c.substr(20));
            if (c.rfind("BrowseNames 7 ", 0) == 0) out.push_back("browse " + c.substr(14));
        }
        return out;
    }
    void ClearCalls() {
        std::lock_guard<std::mutex> lock(fakeopc::Lock());
        fakeopc::S().calls.clear();
    }
    std::string Field() { return road::TextOf(GetDlgItem(dlg_, IDC_TEXT_FIELD)); }

    std::thread thread_;
    HWND dlg_ = nullptr;
    HWND tree_ = nullptr;
};

TEST_F(BrowseLogic, LeavesComeBeforeBranchesAndIdsComeFromTheLibrary) {
    Run(KOBRIX_NS_HIERARCHICAL);
    HTREEITEM root = TreeView_GetRoot(tree_);
    EXPECT_EQ(Text(root), "Root");
    EXPECT_EQ(Children(root), (Names{"Loose", "A", "Empty", "Gone"}));
    EXPECT_EQ(Calls(), (Names{"position ", "position ", "position ", "browse 2", "browse 1"}));

    // Opening the root fills its children: A gets its leaves first, then its branch.
    ClearCalls();
    TreeView_Expand(tree_, root, TVE_EXPAND);
    HTREEITEM a = Child(root, "A");
    EXPECT_EQ(Children(a), (Names{"L1", "L2", "B"}));
    // A leaf is asked like any node (the library refuses the move), "Gone" stays empty.
    Names calls = Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "position Loose"), calls.end());
    EXPECT_TRUE(Children(Child(root, "Gone")).empty());

    TreeView_SelectItem(tree_, Child(a, "L2"));
    EXPECT_EQ(Field(), "ID:A.L2");
    TreeView_SelectItem(tree_, Child(root, "Loose"));
    EXPECT_EQ(Field(), "ID:Loose");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, IDC_BROWSE_ADD_ITEM)));

    // A branch without children offers no id, not even the first one ever listed.
    TreeView_SelectItem(tree_, Child(root, "Empty"));
    EXPECT_EQ(Field(), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg_, IDC_BROWSE_ADD_ITEM)));
}

TEST_F(BrowseLogic, FlatSpaceIsNeverAskedForBranches) {
    Run(KOBRIX_NS_FLAT);
    HTREEITEM root = TreeView_GetRoot(tree_);
    EXPECT_EQ(Children(root), (Names{"Loose"}));
    TreeView_Expand(tree_, root, TVE_EXPAND);
    for (const std::string& call : Calls()) EXPECT_NE(call, "browse 1");
}

TEST_F(BrowseLogic, AddBranchBrowsesNothingWhereTheLibraryWillNotMove) {
    Run(KOBRIX_NS_HIERARCHICAL);
    HTREEITEM root = TreeView_GetRoot(tree_);
    TreeView_Expand(tree_, root, TVE_EXPAND);

    TreeView_SelectItem(tree_, Child(root, "A"));
    ClearCalls();
    SendMessageA(dlg_, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_ADD_BRANCH, BN_CLICKED),
                 LPARAM(GetDlgItem(dlg_, IDC_BROWSE_ADD_BRANCH)));
    EXPECT_EQ(Calls(), (Names{"position A", "browse 3"}));

    // Selecting "Gone" leaves the library where it was: browsing now would list A's leaves.
    TreeView_SelectItem(tree_, Child(root, "Gone"));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, IDC_BROWSE_ADD_BRANCH)));
    ClearCalls();
    SendMessageA(dlg_, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_ADD_BRANCH, BN_CLICKED),
                 LPARAM(GetDlgItem(dlg_, IDC_BROWSE_ADD_BRANCH)));
    EXPECT_EQ(Calls(), (Names{"position Gone"}));
}

}  // namespace
