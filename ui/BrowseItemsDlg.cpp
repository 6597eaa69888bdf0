#include "ui/BrowseItemsDlg.h"

#include <string>

#include "opc/OpcLibrary.h"
#include "resource.h"
#include "ui/VantrelView.h"
#include "win/WinApp.h"

namespace {

const int kNameSize = 200;  // browse names and node texts: 199 characters
// Item ids from the library: long enough that an id too long for a row is read whole and
// refused by the view with its reason, rather than dropped unseen.
const int kIdSize = 1024;

const char kNoBrowsing[] = "This server does not offer browsing: type an item id above and press Add Item.";

// Holds the mouse and shows the wait cursor while the library is asked at length.
class CWaitCapture {
  public:
    explicit CWaitCapture(HWND hWnd) {
        ::SetCapture(hWnd);
        m_hOldCursor = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    }
    ~CWaitCapture() {
        ::SetCursor(m_hOldCursor);
        ::ReleaseCapture();
    }
    CWaitCapture(const CWaitCapture&) = delete;
    CWaitCapture& operator=(const CWaitCapture&) = delete;

  private:
    HCURSOR m_hOldCursor;
};

}  // namespace

// The tree control talks ANSI or Unicode notifications depending on what the dialog
// answers to WM_NOTIFYFORMAT; both carry the node handle and data at the same place.
BEGIN_MESSAGE_MAP(CBrowseItemsDlg, CDialog)
    ON_NOTIFY(TVN_ITEMEXPANDINGA, IDC_BROWSE_TREE, OnItemExpanding)
    ON_NOTIFY(TVN_ITEMEXPANDINGW, IDC_BROWSE_TREE, OnItemExpanding)
    ON_NOTIFY(TVN_SELCHANGEDA, IDC_BROWSE_TREE, OnSelChanged)
    ON_NOTIFY(TVN_SELCHANGEDW, IDC_BROWSE_TREE, OnSelChanged)
    ON_BN_CLICKED(IDC_BROWSE_ADD_ITEM, OnAddItem)
    ON_BN_CLICKED(IDC_BROWSE_ADD_BRANCH, OnAddBranch)
    ON_NOTIFY(NM_DBLCLK, IDC_BROWSE_TREE, OnDblClkTree)
END_MESSAGE_MAP()

CBrowseItemsDlg::CBrowseItemsDlg(CWnd* pParent) : CDialog(IDD_BROWSE_ITEMS, pParent) {}

BOOL CBrowseItemsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_hTree = GetDlgItem(IDC_BROWSE_TREE);
    m_hIdEdit = GetDlgItem(IDC_TEXT_FIELD);

    // A server without an address space to browse answers no namespace type; its items
    // are added by typed ids, so "Add Item" stays on whatever the tree does.
    WORD namespaceType = 0;
    m_bBrowsable = OpcGetNamespaceType(m_hServer, &namespaceType);
    if (!m_bBrowsable) {
        m_hRoot = InsertNode(TVI_ROOT, kNoBrowsing, 0);
        EnableDlgItem(IDC_BROWSE_ADD_ITEM, TRUE);
        return TRUE;
    }
    OpcSetBrowsePosition(m_hServer, "");
    m_hRoot = InsertNode(TVI_ROOT, "Root", 0);
    OpcSetBrowsePosition(m_hServer, "");
    PopulateNode(m_hRoot);
    return TRUE;
}

HTREEITEM CBrowseItemsDlg::InsertNode(HTREEITEM hParent, const char* text, LPARAM data) {
    char label[kNameSize];
    ::lstrcpynA(label, text, kNameSize);
    TVINSERTSTRUCTA tvis = {};
    tvis.hParent = hParent;
    tvis.hInsertAfter = TVI_LAST;
    tvis.item.mask = TVIF_TEXT | TVIF_PARAM;
    tvis.item.pszText = label;
    tvis.item.lParam = data;
    return reinterpret_cast<HTREEITEM>(::SendMessageA(m_hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&tvis)));
}

LPARAM CBrowseItemsDlg::NodeData(HTREEITEM hNode) const {
    TVITEMA item = {};
    item.mask = TVIF_PARAM | TVIF_HANDLE;
    item.hItem = hNode;
    if (hNode == nullptr || !::SendMessageA(m_hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return item.lParam;
}

CString CBrowseItemsDlg::ShortName(const char* name) {
    CString whole(name);
    int dot = whole.ReverseFind('.');
    return dot < 0 ? whole : whole.Mid(dot + 1);
}

CString CBrowseItemsDlg::BuildNodePath(HTREEITEM hNode) const {
    CString path;
    for (HTREEITEM h = hNode; h != nullptr && h != m_hRoot; h = TreeView_GetParent(m_hTree, h)) {
        char text[kNameSize] = {};
        TVITEMA item = {};
        item.mask = TVIF_TEXT | TVIF_HANDLE;
        item.hItem = h;
        item.pszText = text;
        item.cchTextMax = kNameSize;
        ::SendMessageA(m_hTree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        path = path.IsEmpty() ? CString(text) : CString(text) + "." + path;
    }
    return path;
}

BOOL CBrowseItemsDlg::PopulateNode(HTREEITEM hNode) {
    if (TreeView_GetChild(m_hTree, hNode) != nullptr) return TRUE;
    if (!OpcSetBrowsePosition(m_hServer, BuildNodePath(hNode))) return FALSE;

    // Leaves first, from one enumeration; a leaf's id is asked for only when it is selected.
    int leaves = OpcBrowseNames(m_hServer, KOBRIX_BROWSE_LEAVES);
    for (int index = 0; index < leaves; ++index) {
        char name[kNameSize] = {};
        if (!OpcGetBrowseName(m_hServer, index, name, kNameSize)) continue;
        name[kNameSize - 1] = '\0';
        m_itemIds.push_back(name);
        InsertNode(hNode, ShortName(name), static_cast<LPARAM>(m_itemIds.size()));
    }

    WORD namespaceType = 0;
    OpcGetNamespaceType(m_hServer, &namespaceType);
    if (namespaceType == KOBRIX_NS_FLAT) return TRUE;

    // Branches after the leaves, each in the library's order; their names are all read
    // before the first one is inserted.
    std::vector<CString> branches;
    int count = OpcBrowseNames(m_hServer, KOBRIX_BROWSE_BRANCHES);
    for (int index = 0; index < count; ++index) {
        char name[kNameSize] = {};
        if (!OpcGetBrowseName(m_hServer, index, name, kNameSize)) continue;
        name[kNameSize - 1] = '\0';
        branches.push_back(name);
    }
    for (const CString& branch : branches) InsertNode(hNode, ShortName(branch), 0);
    return TRUE;
}

void CBrowseItemsDlg::OnItemExpanding(NMHDR* pNMHDR, LRESULT* pResult) {
    // Expanding and collapsing alike: the opened node's children fetch their own
    // children, so that a branch shows its expand button before it is opened.
    CWaitCapture wait(m_hWnd);
    HTREEITEM hNode = reinterpret_cast<NMTREEVIEWA*>(pNMHDR)->itemNew.hItem;
    m_hCurrent = hNode;
    for (HTREEITEM h = TreeView_GetChild(m_hTree, hNode); h != nullptr; h = TreeView_GetNextSibling(m_hTree, h))
        PopulateNode(h);
    *pResult = 0;
}

void CBrowseItemsDlg::OnSelChanged(NMHDR* pNMHDR, LRESULT* pResult) {
    HTREEITEM hNode = reinterpret_cast<NMTREEVIEWA*>(pNMHDR)->itemNew.hItem;
    m_hCurrent = hNode;
    *pResult = 0;
    if (!m_bBrowsable) return;  // the tree holds only the notice
    if (hNode == nullptr || !IsLeaf(hNode)) {
        // No selection, or a branch (with children or without): nothing to add singly.
        ::SetWindowTextA(m_hIdEdit, "");
        EnableDlgItem(IDC_BROWSE_ADD_ITEM, FALSE);
        EnableDlgItem(IDC_BROWSE_ADD_BRANCH, hNode != nullptr);
        return;
    }
    ::SetWindowTextA(m_hIdEdit, LeafItemId(hNode));
    EnableDlgItem(IDC_BROWSE_ADD_ITEM, TRUE);
    EnableDlgItem(IDC_BROWSE_ADD_BRANCH, FALSE);
}

void CBrowseItemsDlg::OnAddItem() {
    // The whole text: an id cut to a buffer would name another item.
    std::string id(static_cast<size_t>(::GetWindowTextLengthA(m_hIdEdit)) + 1, '\0');
    id.resize(static_cast<size_t>(::GetWindowTextA(m_hIdEdit, &id[0], static_cast<int>(id.size()))));
    AddOne(id.c_str());
}

void CBrowseItemsDlg::AddOne(const char* itemId) {
    if (m_pParentView == nullptr) return;
    ItemIdFit fit = m_pParentView->AddItem("", itemId);
    if (fit != ItemIdFit::kFits) AfxMessageBox(CString("Item not added. ") + ItemIdFitText(fit), MB_ICONEXCLAMATION);
}

void CBrowseItemsDlg::OnAddBranch() {
    CWaitCapture wait(m_hWnd);
    // Where the library cannot move to the branch, its position is somewhere else, and
    // browsing there would add another branch's leaves: add nothing instead.
    if (!OpcSetBrowsePosition(m_hServer, BuildNodePath(m_hCurrent))) return;
    int leaves = OpcBrowseNames(m_hServer, KOBRIX_BROWSE_FLAT);
    std::vector<CString> ids;
    ids.reserve(static_cast<size_t>(leaves > 0 ? leaves : 0));
    int unreadable = 0;  // ids even longer than kIdSize: too long for a row as well
    for (int index = 0; index < leaves; ++index) {
        char name[kIdSize] = {};
        if (!OpcGetBrowseName(m_hServer, index, name, kIdSize)) {
            ++unreadable;
            continue;
        }
        name[kIdSize - 1] = '\0';
        ids.push_back(name);
    }
    // One batch: the list is drawn once, when the branch is in.
    if (m_pParentView == nullptr) return;
    int refused = unreadable + m_pParentView->AddItems(ids);
    if (refused > 0) {
        std::string text = std::to_string(refused) + " of the branch's " + std::to_string(leaves) +
                           " item ids were not added: longer than 255 characters (the most a DDE link can name), "
                           "or holding what a line of the configuration file cannot keep.";
        AfxMessageBox(text.c_str(), MB_ICONEXCLAMATION);
    }
}

void CBrowseItemsDlg::OnDblClkTree(NMHDR*, LRESULT* pResult) {
    *pResult = 0;  // the tree still opens or closes the node itself
    HTREEITEM hNode = TreeView_GetSelection(m_hTree);
    // Only leaves are items; a branch, even one without children, has no id of its own.
    if (hNode == nullptr || TreeView_GetChild(m_hTree, hNode) != nullptr || !IsLeaf(hNode)) return;
    AddOne(BuildNodePath(hNode));
}

CString CBrowseItemsDlg::LeafItemId(HTREEITEM hLeaf) {
    size_t index = static_cast<size_t>(NodeData(hLeaf) - 1);
    if (index >= m_itemIds.size()) return CString();
    const CString& name = m_itemIds[index];
    // The server names the id relative to the leaf's branch: go there first.
    char id[kIdSize] = {};
    if (OpcSetBrowsePosition(m_hServer, BuildNodePath(TreeView_GetParent(m_hTree, hLeaf))) &&
        OpcGetItemId(m_hServer, ShortName(name), id, kIdSize)) {
        id[kIdSize - 1] = '\0';
        return CString(id);
    }
    return name;
}

void CBrowseItemsDlg::OnCancel() {
    m_itemIds.clear();
    CDialog::OnCancel();
}
