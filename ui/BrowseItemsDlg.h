#pragma once
// The address-space browser (dialog 131): the OPC server's branches and leaves as a tree
// filled lazily, one level ahead of what is open, from which the user adds single items,
// every leaf below a branch, or an item id typed by hand. Every add goes at once to the
// main view (CVantrelView::AddItem, a branch as one batch through AddItems); the dialog
// itself returns nothing. A leaf's id is asked of the server only when it is selected, so
// opening a branch of many leaves costs one enumeration.
//
// Tree node data: a leaf carries 1 + the index of its browse name in m_itemIds; branches and
// the root carry 0. A branch that turned out to have no children therefore still tells
// itself apart from a leaf and never offers another leaf's id.
//
// A server that offers no browsing gets a tree of one node saying so, and "Add Item" takes
// the typed id. An id that cannot be a row is refused with a message box: one per single
// add, one per branch with the count.
//
// Threading: the user-interface thread; every library call is synchronous.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "win/Dialog.h"

class CVantrelView;

class CBrowseItemsDlg : public CDialog {
  public:
    explicit CBrowseItemsDlg(CWnd* pParent = nullptr);

    CVantrelView* m_pParentView = nullptr;  // receives the added items
    int m_hServer = -1;                     // the selected connection's server

  protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;

    // Fills a node's children from the library unless it already has some; FALSE when
    // the library would not move to the node.
    BOOL PopulateNode(HTREEITEM hNode);
    // The dotted path of a node below the root ("" for the root itself).
    CString BuildNodePath(HTREEITEM hNode) const;
    // The part of a browse name after its last '.' (the whole name when it has none).
    static CString ShortName(const char* name);

    // The item id of a leaf: the server's id for it, or its browse name when none.
    CString LeafItemId(HTREEITEM hLeaf);
    HTREEITEM InsertNode(HTREEITEM hParent, const char* text, LPARAM data);
    LPARAM NodeData(HTREEITEM hNode) const;
    BOOL IsLeaf(HTREEITEM hNode) const { return NodeData(hNode) > 0; }

    void OnItemExpanding(NMHDR* pNMHDR, LRESULT* pResult);
    void OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void OnAddItem();
    void OnAddBranch();
    void OnDblClkTree(NMHDR* pNMHDR, LRESULT* pResult);
    // Adds one id through the view, telling the user why when it is refused.
    void AddOne(const char* itemId);

    HTREEITEM m_hRoot = nullptr;
    HTREEITEM m_hCurrent = nullptr;  // last selected or expanded node: "Add Branch" works on it
    HWND m_hTree = nullptr;
    HWND m_hIdEdit = nullptr;
    BOOL m_bBrowsable = TRUE;
    std::vector<CString> m_itemIds;  // the browse name of each leaf ever inserted, in order

    DECLARE_MESSAGE_MAP()
};
