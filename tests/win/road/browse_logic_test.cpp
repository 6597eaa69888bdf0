// The browser dialog's own logic, run in this process over a library stand-in whose
// address space mixes leaves and branches in one node, so that the order of the children,
// the calls made for a flat space and the handling of positions the library refuses can
// be seen call by call. The dialog runs modally on its own thread; the test drives its
// controls with messages and reads the calls the dialog made.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/BrowseItemsDlg.h"
#include "opc/OpcLibrary.h"
#include "tests/win/road/driver.h"

namespace {

using Names = std::vector<std::string>;

// The stand-in's address space: per branch path, its leaves and its branches. "Gone" is
// listed but cannot be moved to.
struct Space {
    std::map<std::string, Names> leaves{{"", {"Loose"}}, {"A", {"A.L1", "A.L2"}}, {"A.B", {"A.B.Deep"}}};
    std::map<std::string, Names> branches{{"", {"A", "Empty", "Gone"}}, {"A", {"A.B"}}};
    WORD type = KOBRIX_NS_HIERARCHICAL;
};

std::mutex g_mu;
Space g_space;
std::string g_position;
Names g_current;
Names g_calls;

void Log(const std::string& call) {
    g_calls.push_back(call);
}

bool Known(const std::string& path) {
    return path.empty() || (path != "Gone" && (g_space.leaves.count(path) || g_space.branches.count(path) || path == "Empty"));
}

int __stdcall SetPosition(int, const char* path) {
    std::lock_guard<std::mutex> lock(g_mu);
    Log(std::string("position ") + path);
    if (!Known(path)) return 0;
    g_position = path;
    return 1;
}

int __stdcall BrowseNames(int, int type) {
    std::lock_guard<std::mutex> lock(g_mu);
    Log("browse " + std::to_string(type));
    g_current.clear();
    if (type == KOBRIX_BROWSE_LEAVES) g_current = g_space.leaves[g_position];
    if (type == KOBRIX_BROWSE_BRANCHES) g_current = g_space.branches[g_position];
    if (type == KOBRIX_BROWSE_FLAT)
        for (const auto& entry : g_space.leaves)
            if (g_position.empty() || entry.first == g_position || entry.first.rfind(g_position + ".", 0) == 0)
                g_current.insert(g_current.end(), entry.second.begin(), entry.second.end());
    return int(g_current.size());
}

int __stdcall GetBrowseName(int, int index, char* buffer, int size) {
    std::lock_guard<std::mutex> lock(g_mu);
    if (index < 0 || index >= int(g_current.size())) return 0;
    lstrcpynA(buffer, g_current[index].c_str(), size);
    return 1;
}

int __stdcall GetItemId(int, const char* leaf, char* buffer, int size) {
    std::lock_guard<std::mutex> lock(g_mu);
    const std::string full = g_position.empty() ? leaf : g_position + "." + leaf;
    for (const std::string& name : g_space.leaves[g_position])
        if (name == full || name == leaf) {
            lstrcpynA(buffer, ("ID:" + full).c_str(), size);
            return 1;
        }
    return 0;
}

int __stdcall GetNamespaceType(int, WORD* type) {
    std::lock_guard<std::mutex> lock(g_mu);
    *type = g_space.type;
    return 1;
}

OpcLibraryTable StandIn() {
    OpcLibraryTable t = OpcFailingTable();
    t.OpcSetBrowsePosition = SetPosition;
    t.OpcBrowseNames = BrowseNames;
    t.OpcGetBrowseName = GetBrowseName;
    t.OpcGetItemId = GetItemId;
    t.OpcGetNamespaceType = GetNamespaceType;
    return t;
}

class BrowseLogic : public ::testing::Test {
  protected:
    void SetUp() override {
        {
            std::lock_guard<std::mutex> lock(g_mu);
            g_space = Space{};
            g_calls.clear();
            g_position.clear();
        }
        table_ = StandIn();
        OpcSetLibraryTable(&table_);
    }
    void Run(WORD namespaceType) {
        g_space.type = namespaceType;
        thread_ = std::thread([this] {
            CBrowseItemsDlg dlg;
            dlg.m_hServer = 7;
            dlg.DoModal();
        });
        ASSERT_TRUE(road::WaitUntil([&] { return (dlg_ = road::FindTopWindow(GetCurrentProcessId(), "Dialog")) != nullptr; },
                                    10000));
        tree_ = GetDlgItem(dlg_, 1004);
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
    Names Calls() {
        std::lock_guard<std::mutex> lock(g_mu);
        return g_calls;
    }
    void ClearCalls() {
        std::lock_guard<std::mutex> lock(g_mu);
        g_calls.clear();
    }
    std::string Field() { return road::TextOf(GetDlgItem(dlg_, 1013)); }

    OpcLibraryTable table_;
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
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, 1005)));

    // A branch without children offers no id, not even the first one ever listed.
    TreeView_SelectItem(tree_, Child(root, "Empty"));
    EXPECT_EQ(Field(), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg_, 1005)));
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
    SendMessageA(dlg_, WM_COMMAND, MAKEWPARAM(1006, BN_CLICKED), LPARAM(GetDlgItem(dlg_, 1006)));
    EXPECT_EQ(Calls(), (Names{"position A", "browse 3"}));

    // Selecting "Gone" leaves the library where it was: browsing now would list A's leaves.
    TreeView_SelectItem(tree_, Child(root, "Gone"));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg_, 1006)));
    ClearCalls();
    SendMessageA(dlg_, WM_COMMAND, MAKEWPARAM(1006, BN_CLICKED), LPARAM(GetDlgItem(dlg_, 1006)));
    EXPECT_EQ(Calls(), (Names{"position Gone"}));
}

}  // namespace
