#include "ui/VantrelView.h"

#include <windows.h>
#include <commctrl.h>

#include "app/MainFrame.h"
#include "app/VantrelApp.h"
#include "app/VantrelDoc.h"
#include "opc/OpcLibrary.h"
#include "resource.h"
#include "ui/ValueText.h"
#include "win/FrameWnd.h"

IMPLEMENT_DYNCREATE(CVantrelView)

namespace {

const UINT kFlushTimer = 1;
const UINT kFlushPeriodMs = 1000;
const int kTabLabelSize = 200;   // tab captions: at most 199 characters
const int kListLabelSize = 400;  // row labels: at most 399 characters

}  // namespace

BEGIN_MESSAGE_MAP(CVantrelView, CFormView)
    ON_NOTIFY(TCN_SELCHANGE, IDC_SERVER_TAB, OnSelchangeTab)
    ON_BN_CLICKED(IDC_CONNECT, OnConnectButton)
    ON_BN_CLICKED(IDC_ADD_ITEM, OnAddItemButton)
    ON_NOTIFY(NM_CLICK, IDC_ITEM_LIST, OnClickList)
    ON_NOTIFY(NM_RCLICK, IDC_ITEM_LIST, OnRclickList)
    ON_COMMAND(ID_EDIT_CUT, OnEditCut)
    ON_BN_CLICKED(IDC_RESUME, OnResumeUpdates)
    ON_BN_CLICKED(IDC_SUSPEND, OnSuspendUpdates)
    ON_STN_CLICKED(IDC_HELP_ICON, OnHelpIcon)
    ON_WM_DESTROY()
    ON_WM_TIMER()
    ON_NOTIFY(LVN_BEGINDRAG, IDC_ITEM_LIST, OnBegindragList)
    ON_MESSAGE(WM_SERVER_SHUTDOWN, OnServerShutdown)
    ON_MESSAGE(WM_FLUSH_ADVISES, OnFlushAdvises)
END_MESSAGE_MAP()

CVantrelView::CVantrelView() : CFormView(IDD_QUORVANE_FORM) {
    if (CVantrelApp* app = GetVantrelApp()) app->m_pMainView = this;
}

CVantrelView::~CVantrelView() {
    // Leave the application first: from now on DDE and OPC callbacks find no view.
    CVantrelApp* app = GetVantrelApp();
    if (app != nullptr && app->m_pMainView == this) app->m_pMainView = nullptr;
    for (int i = 0; i < m_connections.GetSize(); ++i) delete GetConnection(i);
    m_connections.RemoveAll();
    m_menuContext.DestroyMenu();
}

CVantrelDoc* CVantrelView::GetDocument() const { return dynamic_cast<CVantrelDoc*>(m_pDocument); }

BOOL CVantrelView::PreCreateWindow(CREATESTRUCTA& cs) { return CFormView::PreCreateWindow(cs); }

CString CVantrelView::ConfigFilePath() const { return AfxGetModuleDirectory() + "quorvane.cfg"; }

void CVantrelView::OnInitialUpdate() {
    m_strConfigPath = ConfigFilePath();
    m_strFileRev = "1.00";
    LoadConfiguration();

    CFormView::OnInitialUpdate();
    if (CFrameWnd* frame = GetParentFrame()) frame->RecalcLayout();
    ResizeParentToFit(FALSE);

    m_menuContext.LoadMenu(IDR_CONTEXT_MENU);
    g_hMainViewWnd = m_hWnd;
    SetFocus();
    InsertListColumns();

    HWND hTab = TabCtrl();
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        ReconnectServer(i);
        char label[kTabLabelSize];
        ::lstrcpynA(label, GetConnection(i)->m_strAlias, kTabLabelSize);
        TCITEMA tci = {};
        tci.mask = TCIF_TEXT;
        tci.pszText = label;
        ::SendMessageA(hTab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&tci));
        TabCtrl_SetCurSel(hTab, i);
        RefreshItemList();
    }
    UpdateConnectButton();
    SetTimer(kFlushTimer, kFlushPeriodMs);
    m_saver.Start([this] { return SaveConfiguration(); });
    if (!m_configLoad.IsClean()) {  // told once, in the status line, without a box
        SetDlgItemText(IDC_STATUS, m_configLoad.NoticeText());
        m_configLoad.NoticeShown();
    }
}

void CVantrelView::InsertListColumns() {
    HWND hList = ItemList();
    // The list is drawn over the tab control's page: keep it above the tab in the z-order.
    ::SetWindowPos(hList, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RECT rc;
    ::GetWindowRect(hList, &rc);
    int width = rc.right - rc.left;
    static const char* const kTitles[] = {"TagName", "Current Value", "Quality", "TimeStamp"};
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNA col = {};
        col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        col.fmt = LVCFMT_LEFT;
        col.pszText = const_cast<char*>(kTitles[i]);
        col.cx = i == 0 ? width / 2 : width / 6;
        ::SendMessageA(hList, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
    }
}

CServerConnection* CVantrelView::GetSelectedConnection(int* pIndex) const {
    int k = m_hWnd != nullptr ? TabCtrl_GetCurSel(TabCtrl()) : -1;
    if (k < 0 || k >= m_connections.GetSize()) return nullptr;
    if (pIndex != nullptr) *pIndex = k;
    return GetConnection(k);
}

void CVantrelView::RefreshItemList() {
    HWND hList = ItemList();
    ListView_DeleteAllItems(hList);
    m_nSelectedItem = -1;
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr) return;
    for (int r = 0; r < conn->GetItemCount(); ++r) {
        CTagItem* item = conn->GetItem(r);
        char label[kListLabelSize];
        ::lstrcpynA(label, item != nullptr ? static_cast<const char*>(item->m_strTagName) : "", kListLabelSize);
        LVITEMA lvi = {};
        lvi.mask = LVIF_TEXT | LVIF_STATE;
        lvi.iItem = r;
        lvi.pszText = label;
        lvi.stateMask = LVIS_STATEIMAGEMASK;
        ::SendMessageA(hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi));
        if (item != nullptr) UpdateItemRow(r, item);
    }
}

void CVantrelView::UpdateItemRow(int row, CTagItem* item) {
    HWND hList = ItemList();
    CString value = FormatVariant(item->m_vValue);
    CString time = FormatTimestamp(item->m_ftTimeStamp);
    const char* texts[3] = {value, QualityText(item->m_dwQuality), time};
    for (int col = 1; col <= 3; ++col) {
        LVITEMA lvi = {};
        lvi.iSubItem = col;
        lvi.pszText = const_cast<char*>(texts[col - 1]);
        ::SendMessageA(hList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&lvi));
    }
    ListView_RedrawItems(hList, row, row);
}

void CVantrelView::UpdateStatusLine() {
    if (m_configLoad.HoldsStatusLine()) return;
    CServerConnection* conn = GetSelectedConnection();
    SetDlgItemText(IDC_STATUS, conn != nullptr ? static_cast<const char*>(conn->m_strStatus)
                                               : "<<<<<< No Servers Connected >>>>>>");
}

void CVantrelView::OnSelchangeTab(NMHDR*, LRESULT* pResult) {
    RefreshItemList();
    UpdateStatusLine();
    UpdateConnectButton();
    *pResult = 0;
}

void CVantrelView::OnHelpIcon() {
    CVantrelApp* app = GetVantrelApp();
    if (app != nullptr && app->m_pMainFrame != nullptr) app->m_pMainFrame->RunHelp();
}

void CVantrelView::OnDestroy() {
    m_saver.Stop();
    SaveConfiguration();
    CFormView::OnDestroy();
}

CServerConnection* CVantrelView::FindTopic(HSZ hszTopic) const {
    if (hszTopic == nullptr) return nullptr;
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        CServerConnection* conn = GetConnection(i);
        if (conn != nullptr && conn->m_hszTopic != nullptr && ::DdeCmpStringHandles(conn->m_hszTopic, hszTopic) == 0)
            return conn;
    }
    return nullptr;
}

BOOL CVantrelView::GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue) {
    CServerConnection* conn = FindTopic(hszTopic);
    CTagItem* item = conn != nullptr ? conn->FindItem(hszItem) : nullptr;
    if (item == nullptr) return FALSE;
    if (pValue != nullptr) ::VariantCopy(pValue, &item->m_vValue);
    else item->m_bAdvisePending = 1;
    return TRUE;
}

int CVantrelView::WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue) {
    CServerConnection* conn = FindTopic(hszTopic);
    CTagItem* item = conn != nullptr ? conn->FindItem(hszItem) : nullptr;
    if (item == nullptr) return 0;
    // Also when disconnected: the library answers for its -1 handles.
    return OpcWriteItem(conn->m_hServer, conn->m_hGroup, item->m_hItem, pValue, 0);
}
