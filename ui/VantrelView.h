#pragma once
// The main view: the form (dialog 101) with one tab per OPC server connection, the list of
// the selected connection's items, the status line and the buttons. It owns the
// connections, loads them from the configuration file at its first display and saves
// them when its window goes; it is the DDE side's road to connections and items.
//
// The selected connection is element k of m_connections, where k is the tab control's
// current selection, and exists only when 0 <= k < number of connections; every handler
// determines it afresh. While one is selected, list row r shows its item r.
//
// The members are implemented where their subject lives: the form, list and status line
// here (ui/), the connection workflow and the OPC notifications in opc/, the advise
// posting in dde/, the configuration file in persist/.
//
// Ownership: owns m_connections (CServerConnection pointers); deletes itself when its
// window is destroyed. Threading: the user-interface thread only.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include "opc/ServerConnection.h"
#include "persist/ConfigLoad.h"
#include "persist/SaveCoalescer.h"
#include "win/Menu.h"
#include "win/View.h"

class CVantrelDoc;

class CVantrelView : public CFormView {
    DECLARE_DYNCREATE(CVantrelView)

  public:
    CVantrelView();
    ~CVantrelView() override;

    CVantrelDoc* GetDocument() const;
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void OnInitialUpdate() override;

    // DDE lookups (first match in array order, names compared as DDEML does).
    CServerConnection* FindTopic(HSZ hszTopic) const;
    BOOL GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue);
    int WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue);

    // The connection on the selected tab, or nullptr; its index goes to *pIndex.
    CServerConnection* GetSelectedConnection(int* pIndex = nullptr) const;
    int GetConnectionCount() const { return m_connections.GetSize(); }
    CServerConnection* GetConnection(int index) const {
        return static_cast<CServerConnection*>(m_connections.GetAt(index));
    }

    void RefreshItemList();
    void UpdateStatusLine();
    void UpdateItemRow(int row, CTagItem* item);

    // Connection workflow (opc/ConnectionWorkflow.cpp; the new connection in opc/ConnectWorkflow.cpp).
    void ConnectNewServer();
    void ReconnectServer(int index);
    void RemoveConnection(int index);
    void UpdateConnectButton();

    // Adding items (opc/AddItem.cpp): one item to the selected connection, at once in the
    // library, the DDE side and the list.
    void AddItem(const char* extra, const char* itemId);

    // The DDE link of a row (ui/LinkCopy.cpp): "=Quorvane|alias!tag", or with the tag
    // between apostrophes when quoted; and the row whose band holds the list's client y
    // (only fully visible rows count), or -1.
    static CString BuildLinkText(const CServerConnection* conn, const CTagItem* item, BOOL quoted);
    static int HitTestRow(HWND hList, int y);

    // An OPC data change, from OpcDataChangeProc (opc/Notifications.cpp).
    void OnOpcDataChange(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD timeLow, DWORD timeHigh,
                         DWORD quality);

    // Writes the configuration file (persist/ConfigFile.cpp): at WM_DESTROY and when the
    // session ends. FALSE when the old file was kept because the new one could not be written.
    BOOL SaveConfiguration();
    const CString& GetConfigPath() const { return m_strConfigPath; }

  protected:
    // Where the configuration lives: quorvane.cfg beside the executable (tests put it elsewhere).
    virtual CString ConfigFilePath() const;
    void LoadConfiguration();

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
    void OnDestroy();
    void OnTimer(UINT_PTR nIDEvent);
    void OnBegindragList(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnServerShutdown(WPARAM wParam, LPARAM lParam);
    LRESULT OnFlushAdvises(WPARAM wParam, LPARAM lParam);

    HWND TabCtrl() const { return GetDlgItem(1000); }
    HWND ItemList() const { return GetDlgItem(1001); }
    void InsertListColumns();

    CObArray m_connections;   // owned CServerConnection pointers, in tab order
    int m_nSelectedItem = -1; // the row a click last hit, for the delete command
    CMenu m_menuContext;      // the list's context menu (menu 137)
    CString m_strConfigPath;
    CString m_strFileRev;
    CConfigLoadReport m_configLoad;  // what the start-up load found (persist/ConfigLoad.h)
    CSaveCoalescer m_saver;          // saves after changes (persist/SaveCoalescer.h)

    DECLARE_MESSAGE_MAP()
};
