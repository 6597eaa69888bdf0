#include "ui/VantrelView.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "app/MainFrame.h"
#include "app/VantrelApp.h"
#include "app/VantrelDoc.h"
#include "opc/Notifications.h"
#include "persist/DiagEvents.h"
#include "resource.h"
#include "ui/ValueText.h"
#include "win/FrameWnd.h"

IMPLEMENT_DYNCREATE(CVantrelView)

namespace {

const UINT kFlushTimer = 1;
const UINT kFlushPeriodMs = 1000;
const UINT kRedrawTimer = 2;
const UINT kRedrawPeriodMs = 100;  // at most ten redraws a second, whatever the burst
const int kTabLabelSize = 200;     // tab captions: at most 199 characters
const int kListLabelSize = 400;    // row labels: at most 399 characters

// Stops a window from redrawing for one scope, then has it drawn once, whole.
class CRedrawOff {
  public:
    explicit CRedrawOff(HWND hWnd) : m_hWnd(hWnd) { ::SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0); }
    ~CRedrawOff() {
        ::SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    CRedrawOff(const CRedrawOff&) = delete;
    CRedrawOff& operator=(const CRedrawOff&) = delete;

  private:
    HWND m_hWnd;
};

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
    ON_COMMAND(ID_DDE_WRITES, OnDdeWrites)
    ON_WM_DESTROY()
    ON_WM_TIMER()
    ON_NOTIFY(LVN_BEGINDRAG, IDC_ITEM_LIST, OnBegindragList)
    ON_NOTIFY(LVN_GETDISPINFOA, IDC_ITEM_LIST, OnGetdispinfoList)
    ON_MESSAGE(WM_SERVER_SHUTDOWN, OnServerShutdown)
    ON_MESSAGE(WM_FLUSH_ADVISES, OnFlushAdvises)
    ON_COMMAND(ID_AUTO_RECONNECT, OnAutoReconnect)
END_MESSAGE_MAP()

CVantrelView::CVantrelView() : CFormView(IDD_QUORVANE_FORM) {
    if (CVantrelApp* app = GetVantrelApp()) {
        app->m_pMainView = this;
        m_connections.SetAdviseGate(&app->m_ddeServer.Gate());
        app->m_ddeServer.SetConnections(&m_connections);
    }
}

CVantrelView::~CVantrelView() {
    // Leave the application first: from now on DDE and OPC callbacks find no connections.
    CVantrelApp* app = GetVantrelApp();
    if (app != nullptr && app->m_pMainView == this) {
        app->m_pMainView = nullptr;
        app->m_ddeServer.SetConnections(nullptr);
        app->m_ddeServer.Gate().SetFlushWindow(nullptr);
    }
    m_connections.Detach();
    m_connections.RemoveAll();
    m_menuContext.DestroyMenu();
}

CVantrelDoc* CVantrelView::GetDocument() const { return dynamic_cast<CVantrelDoc*>(m_pDocument); }

BOOL CVantrelView::PreCreateWindow(CREATESTRUCTA& cs) { return CFormView::PreCreateWindow(cs); }

BOOL CVantrelView::PreTranslateMessage(MSG* pMsg) {
    // A row label being edited takes its keys itself, before any frame sees them as
    // accelerators: Ctrl+X and Shift+Delete cut its text instead of deleting the item.
    HWND hEdit = m_hWnd != nullptr ? ListView_GetEditControl(ItemList()) : nullptr;
    if (hEdit != nullptr && pMsg->hwnd == hEdit && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) {
        ::TranslateMessage(pMsg);
        ::DispatchMessageA(pMsg);
        return TRUE;
    }
    return CFormView::PreTranslateMessage(pMsg);
}

CString CVantrelView::ConfigFilePath() const { return AfxGetModuleDirectory() + "quorvane.cfg"; }

void CVantrelView::OnInitialUpdate() {
    m_strConfigPath = ConfigFilePath();
    m_strFileRev = "1.00";
    LoadConfiguration();
    LoadAutoReconnectSetting();

    CFormView::OnInitialUpdate();
    if (CFrameWnd* frame = GetParentFrame()) frame->RecalcLayout();
    ResizeParentToFit(FALSE);

    m_menuContext.LoadMenu(IDR_CONTEXT_MENU);
    m_connections.Attach(this, m_hWnd);
    if (CVantrelApp* app = GetVantrelApp()) app->m_ddeServer.Gate().SetFlushWindow(m_hWnd);
    SetFocus();
    InsertListColumns();
    ShowDdeWrites();
    if (CVantrelApp* app = GetVantrelApp()) DiagLog::LogDdeWrites(app->DdeWritesAllowed() != FALSE);

    HWND hTab = TabCtrl();
    // With automatic reconnect on, a stored connection that fails waits in its tab, not
    // in a message box: the window and the other connections start at once.
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        ReconnectServer(i, 0, m_bAutoReconnect);
        InsertTab(i, GetConnection(i)->m_strAlias);
    }
    ShowReconnectState();
    // The last tab is selected; its rows are listed once, and the status line is its own.
    if (m_connections.GetSize() > 0) {
        TabCtrl_SetCurSel(hTab, m_connections.GetSize() - 1);
        RefreshItemList();
        UpdateStatusLine();
    }
    UpdateConnectButton();
    SetTimer(kFlushTimer, kFlushPeriodMs);
    m_saver.Start([this] { return SaveConfiguration(); });
    if (!m_configLoad.IsClean()) {  // told once, in the status line, without a box
        SetDlgItemText(IDC_STATUS, m_configLoad.NoticeText());
        m_configLoad.NoticeShown();
    }
}

void CVantrelView::InsertTab(int index, const char* label) {
    char text[kTabLabelSize];
    ::lstrcpynA(text, label, kTabLabelSize);
    TCITEMA tci = {};
    tci.mask = TCIF_TEXT;
    tci.pszText = text;
    ::SendMessageA(TabCtrl(), TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&tci));
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
    CRedrawOff redrawOff(hList);
    ListView_DeleteAllItems(hList);
    m_nSelectedItem = -1;
    m_changedRows.clear();  // every row is written anew
    CServerConnection* conn = GetSelectedConnection();
    m_pShown = conn;
    if (conn != nullptr) InsertRows(conn, 0);
}

void CVantrelView::InsertRows(CServerConnection* conn, int first) {
    HWND hList = ItemList();
    if (first > 0 && first >= ListView_GetItemCount(hList)) {
        // New last rows: the count grows, the rows on screen and the selection stay.
        ListView_SetItemCountEx(hList, conn->GetItemCount(), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        ListView_RedrawItems(hList, first, conn->GetItemCount() - 1);
        return;
    }
    CRedrawOff redrawOff(hList);
    ListView_SetItemCountEx(hList, conn->GetItemCount(), LVSICF_NOSCROLL);
}

void CVantrelView::UpdateItemRow(int row, CTagItem*) {
    // The cells are read from the item when drawn: a row off screen needs nothing.
    HWND hList = ItemList();
    int top = ListView_GetTopIndex(hList);
    if (row >= top && row <= top + ListView_GetCountPerPage(hList)) ListView_RedrawItems(hList, row, row);
}

void CVantrelView::OnGetdispinfoList(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    LVITEMA& lvi = reinterpret_cast<NMLVDISPINFOA*>(pNMHDR)->item;
    CServerConnection* conn = GetSelectedConnection();
    const CTagItem* item =
        conn != nullptr && lvi.iItem >= 0 && lvi.iItem < conn->GetItemCount() ? conn->GetItem(lvi.iItem) : nullptr;
    if (!(lvi.mask & LVIF_TEXT) || lvi.pszText == nullptr || lvi.cchTextMax <= 0) return;
    CString text;
    if (item != nullptr) {
        switch (lvi.iSubItem) {
            case 0:
                text = item->m_strTagName;
                break;
            case 1:
                text = FormatVariant(item->m_vValue);
                break;
            case 2:
                text = QualityText(item->m_dwQuality);
                break;
            case 3:
                text = FormatTimestamp(item->m_ftTimeStamp);
                break;
        }
    }
    ::lstrcpynA(lvi.pszText, text, std::min(lvi.cchTextMax, kListLabelSize));
}

void CVantrelView::UpdateStatusLine() {
    if (m_configLoad.HoldsStatusLine()) return;
    CServerConnection* conn = GetSelectedConnection();
    if (conn == nullptr) {
        SetDlgItemText(IDC_STATUS, "<<<<<< No Servers Connected >>>>>>");
        return;
    }
    CString text = conn->StatusText();
    CString waiting = ReconnectText(conn);
    if (!waiting.IsEmpty()) text += "    " + waiting;
    SetDlgItemText(IDC_STATUS, text);
}

void CVantrelView::OnRowChanged(CServerConnection* conn, int row) {
    if (conn == m_pShown) m_changedRows.insert(row);
    ScheduleRedraw();  // the status line says when the last change came
}

void CVantrelView::ScheduleRedraw() {
    if (m_bRedrawPending || m_hWnd == nullptr) return;
    m_bRedrawPending = TRUE;
    SetTimer(kRedrawTimer, kRedrawPeriodMs);
}

void CVantrelView::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kFlushTimer) {
        m_connections.FlushPendingAdvises();
    } else if (nIDEvent == kReconnectTimer) {
        OnReconnectTimer();
    } else if (nIDEvent == kRedrawTimer) {
        KillTimer(kRedrawTimer);
        m_bRedrawPending = FALSE;
        CServerConnection* conn = GetSelectedConnection();
        for (int row : m_changedRows) {
            if (conn != nullptr && row < conn->GetItemCount()) UpdateItemRow(row, conn->GetItem(row));
        }
        m_changedRows.clear();
        UpdateStatusLine();
    }
    CFormView::OnTimer(nIDEvent);
}

LRESULT CVantrelView::OnFlushAdvises(WPARAM, LPARAM) {
    m_connections.FlushPendingAdvises();
    return 0;
}

LRESULT CVantrelView::OnServerShutdown(WPARAM wParam, LPARAM lParam) {
    // WM_USER + 1 is also DM_SETDEFID (a control id in wParam, lParam 0): the dialog
    // manager's own message goes on to its default handling.
    if (wParam != 0 || lParam == 0) return Default();
    int hServer = static_cast<int>(lParam);
    BOOL lost = TakeServerLost(hServer);
    CServerConnection* conn = m_connections.FindServer(hServer);
    if (conn == nullptr) return 0;
    if (lost)
        DiagLog::LogServerLost(static_cast<const char*>(conn->m_strAlias), RPC_E_DISCONNECTED);
    else
        DiagLog::LogServerShutdown(static_cast<const char*>(conn->m_strAlias),
                                   "the server asked its clients to disconnect");
    m_connections.Close(conn, lost);
    ScheduleReconnect(conn);
    ShowReconnectState();
    UpdateConnectButton();
    RefreshItemList();
    return 0;
}

void CVantrelView::OnSuspendUpdates() {
    if (CVantrelApp* app = GetVantrelApp()) app->m_ddeServer.Gate().Suspend(TRUE);
    EnableDlgItem(IDC_SUSPEND, FALSE);
    EnableDlgItem(IDC_RESUME, TRUE);
}

void CVantrelView::OnResumeUpdates() {
    if (CVantrelApp* app = GetVantrelApp()) app->m_ddeServer.Gate().Suspend(FALSE);
    EnableDlgItem(IDC_RESUME, FALSE);
    EnableDlgItem(IDC_SUSPEND, TRUE);
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
    KillTimer(kReconnectTimer);
    m_saver.Stop();
    SaveConfiguration();
    CFormView::OnDestroy();
}
