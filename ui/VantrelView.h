#pragma once
// The main view: the form (dialog 101) with one tab per OPC server connection, the list of
// the selected connection's items, the status line and the buttons. It holds the
// connection list, loads it from the configuration file at its first display and saves
// it when its window goes.
//
// The selected connection is element k of the list, where k is the tab control's current
// selection, and exists only when 0 <= k < number of connections; every handler
// determines it afresh. While one is selected, list row r shows its item r.
//
// The list is virtual (LVS_OWNERDATA): it keeps no text of its own, and each cell it draws
// or is asked for is formatted then from the item (OnGetdispinfoList). Data changes reach
// the view one row at a time (OnRowChanged). It redraws at most every 100 ms: the changed
// rows of the selected tab that are on screen, and the status line, with the last values.
//
// Ownership: owns the connection list; deletes itself when its window is destroyed.
// Threading: the user-interface thread only.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include <map>
#include <set>
#include <vector>

#include "opc/ConnectionList.h"
#include "persist/ConfigLoad.h"
#include "persist/ItemId.h"
#include "persist/SaveCoalescer.h"
#include "ui/ReconnectBackoff.h"
#include "win/Menu.h"
#include "win/View.h"

class CVantrelDoc;

class CVantrelView : public CFormView, public IConnectionListener {
    DECLARE_DYNCREATE(CVantrelView)

  public:
    CVantrelView();
    ~CVantrelView() override;

    CVantrelDoc* GetDocument() const;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    void OnInitialUpdate() override;

    // The DDE side's lookups, kept here by name; the list does them.
    CServerConnection* FindTopic(HSZ hszTopic) const { return m_connections.FindTopic(hszTopic); }
    BOOL GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue) {
        return m_connections.GetItemValue(hszTopic, hszItem, pValue);
    }
    int WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue) {
        return m_connections.WriteItemValue(hszTopic, hszItem, pValue);
    }

    // The connection on the selected tab, or nullptr; its index goes to *pIndex.
    CServerConnection* GetSelectedConnection(int* pIndex = nullptr) const;
    int GetConnectionCount() const { return m_connections.GetSize(); }
    CServerConnection* GetConnection(int index) const { return m_connections.GetAt(index); }
    CConnectionList& Connections() { return m_connections; }

    void RefreshItemList();
    void UpdateStatusLine();
    void UpdateItemRow(int row, CTagItem* item);

    // Connection workflow (ui/ConnectionWorkflow.cpp).
    void ConnectNewServer();
    // Connects a stored connection again. attempt: 0 for the user's, n for the n-th
    // automatic one; an automatic or quiet attempt tells its failure in the tab and the
    // status line instead of a message box. FALSE when nothing was connected.
    BOOL ReconnectServer(int index, int attempt = 0, BOOL quiet = FALSE);
    void RemoveConnection(int index);
    void UpdateConnectButton();

    // Adding items to the selected connection (ui/AddItem.cpp), at once in the library,
    // the DDE side and the list; a batch as one, drawn once. An id that cannot be a row
    // (persist/ItemId.h) is not added: AddItem answers why, AddItems how many it left out.
    ItemIdFit AddItem(const char* extra, const char* itemId);
    int AddItems(const std::vector<CString>& itemIds);

    // The DDE link of a row (ui/LinkCopy.cpp): "=Quorvane|alias!tag", or with the tag
    // between apostrophes when quoted; and the row whose band holds the list's client y
    // (only fully visible rows count), or -1.
    static CString BuildLinkText(const CServerConnection* conn, const CTagItem* item, BOOL quoted);
    static int HitTestRow(HWND hList, int y);

    // A data change stored in a row (from the connection list).
    void OnRowChanged(CServerConnection* conn, int row) override;

    // Writes the configuration file (ui/ViewConfig.cpp): at WM_DESTROY and when the
    // session ends. FALSE when the old file was kept because the new one could not be written.
    BOOL SaveConfiguration();
    const CString& GetConfigPath() const { return m_strConfigPath; }

  protected:
    // Where the configuration lives: quorvane.cfg beside the executable (tests put it elsewhere).
    virtual CString ConfigFilePath() const;
    void LoadConfiguration();
    // The one connect sequence of new and stored connections: the group on the connected
    // hServer (-1: the connect failed), told in a message box when it fails.
    BOOL OpenConnection(CServerConnection* conn, int hServer);
    void InsertTab(int index, const char* label);
    // Lists conn's items from row first on (the rows before it stay), drawn once.
    void InsertRows(CServerConnection* conn, int first);
    void ScheduleRedraw();

    // Automatic reconnect (ui/AutoReconnect.cpp): the setting, the back-off of each
    // connection that waits for its next attempt, and what its tab and the status line say.
    void LoadAutoReconnectSetting();
    static const UINT kReconnectTimer = 3;  // its window timer, one tick a second
    void ScheduleReconnect(CServerConnection* conn);
    void CancelReconnect(CServerConnection* conn);
    void OnReconnectTimer();
    void ShowReconnectState();
    CString ReconnectText(CServerConnection* conn) const;  // empty when none is waiting
    void UpdateAutoReconnectMenu();

    // Message handlers, in the order of the message table.
    void OnSelchangeTab(NMHDR* pNMHDR, LRESULT* pResult);
    void OnConnectButton();
    void OnAddItemButton();
    void OnClickList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnRclickList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnEditCut();
    void OnResumeUpdates();
    void OnSuspendUpdates();
    void OnHelpIcon();
    void OnDdeWrites();  // ui/DdeWrites.cpp, with ShowDdeWrites
    void OnDestroy();
    void OnTimer(UINT_PTR nIDEvent);
    void OnBegindragList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnGetdispinfoList(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnServerShutdown(WPARAM wParam, LPARAM lParam);
    LRESULT OnFlushAdvises(WPARAM wParam, LPARAM lParam);
    void OnAutoReconnect();

    HWND TabCtrl() const { return GetDlgItem(1000); }
    HWND ItemList() const { return GetDlgItem(1001); }
    void InsertListColumns();
    void ShowDdeWrites();

    CConnectionList m_connections;  // in tab order
    int m_nSelectedItem = -1;       // the row a click last hit, for the delete command
    CMenu m_menuContext;            // the list's context menu (menu 137)
    CString m_strConfigPath;
    CString m_strFileRev;
    std::set<int> m_changedRows;  // rows of the selected tab waiting for the next redraw
    // Whose rows the list shows, set by RefreshItemList. Every data change asks; a message to
    // the tab control for it cost more than storing the change (16 us under Wine).
    CServerConnection* m_pShown = nullptr;
    BOOL m_bRedrawPending = FALSE;   // the redraw timer runs
    CConfigLoadReport m_configLoad;  // what the start-up load found (persist/ConfigLoad.h)
    CSaveCoalescer m_saver;          // saves after changes (persist/SaveCoalescer.h)
    BOOL m_bAutoReconnect = TRUE;    // the "Reconnect Automatically" setting
    BOOL m_bAttemptRunning = FALSE;  // a connect attempt is under way: no second one starts
    std::map<CServerConnection*, CReconnectBackoff> m_reconnects;  // connections waiting for an attempt

    DECLARE_MESSAGE_MAP()
};
