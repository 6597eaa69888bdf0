// The browser dialog's own logic, run in this process over the fake library, whose
// address space mixes leaves and branches in one node, so that the order of the children,
// the calls made for a flat space and the handling of positions the library refuses can
// be seen call by call. The dialog runs modally on its own thread; the test drives its
// controls with messages and reads the calls the dialog made.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <optional>
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
        tree_.emplace(GetCurrentProcess(), GetDlgItem(dlg_, IDC_BROWSE_TREE));
    }
    void TearDown() override {
        if (dlg_ != nullptr) PostMessageA(dlg_, WM_COMMAND, IDCANCEL, 0);
        if (thread_.joinable()) thread_.join();
        OpcSetLibraryTable(nullptr);
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
    void Press(int id) { SendMessageA(dlg_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dlg_, id))); }

    std::thread thread_;
    HWND dlg_ = nullptr;
    std::optional<road::RemoteTree> tree_;
};

TEST_F(BrowseLogic, LeavesComeBeforeBranchesAndIdsComeFromTheLibrary) {
    Run(KOBRIX_NS_HIERARCHICAL);
    road::RemoteTree& t = *tree_;
    HTREEITEM root = t.Root();
    EXPECT_EQ(t.Text(root), "Root");
    EXPECT_EQ(t.ChildTexts(root), (Names{"Loose", "A", "Empty", "Gone"}));
    EXPECT_EQ(Calls(), (Names{"position ", "position ", "position ", "browse 2", "browse 1"}));

    // Opening the root fills its children: A gets its leaves first, then its branch.
    ClearCalls();
    ASSERT_TRUE(t.Expand(root));
    EXPECT_EQ(t.ChildTexts(t.Find({"A"})), (Names{"L1", "L2", "B"}));
    // A leaf is asked like any node (the library refuses the move), "Gone" stays empty.
    Names calls = Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "position Loose"), calls.end());
    EXPECT_TRUE(t.Children(t.Find({"Gone"})).empty());

    // A leaf at the root has its id too. (Nested leaves and a branch without children:
    // browse_test.cpp, over the simulation server.)
    ASSERT_TRUE(t.Select(t.Find({"Loose"})));
    EXPECT_EQ(Field(), "ID:Loose");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, IDC_BROWSE_ADD_ITEM)));
}

TEST_F(BrowseLogic, FlatSpaceIsNeverAskedForBranches) {
    Run(KOBRIX_NS_FLAT);
    EXPECT_EQ(tree_->ChildTexts(tree_->Root()), (Names{"Loose"}));
    ASSERT_TRUE(tree_->Expand(tree_->Root()));
    for (const std::string& call : Calls()) EXPECT_NE(call, "browse 1");
}

TEST_F(BrowseLogic, AddBranchBrowsesNothingWhereTheLibraryWillNotMove) {
    Run(KOBRIX_NS_HIERARCHICAL);
    ASSERT_TRUE(tree_->Expand(tree_->Root()));
    ASSERT_TRUE(tree_->Select(tree_->Find({"A"})));
    ClearCalls();
    Press(IDC_BROWSE_ADD_BRANCH);
    EXPECT_EQ(Calls(), (Names{"position A", "browse 3"}));

    // Selecting "Gone" leaves the library where it was: browsing now would list A's leaves.
    ASSERT_TRUE(tree_->Select(tree_->Find({"Gone"})));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, IDC_BROWSE_ADD_BRANCH)));
    ClearCalls();
    Press(IDC_BROWSE_ADD_BRANCH);
    EXPECT_EQ(Calls(), (Names{"position Gone"}));
}

}  // namespace
