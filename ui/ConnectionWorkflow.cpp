// The connect button of the main view: a new connection, re-establishing a stored one,
// removing an idle one, and the button captions that say which of them a click will do.
// New and stored connections share one connect sequence; a failure is told in one of two
// message boxes and leaves nothing connected behind.
#include <windows.h>
#include <commctrl.h>

#include "opc/ConnectServerDlg.h"
#include "opc/ConnectionParamsDlg.h"
#include "opc/OpcLibrary.h"
#include "persist/DiagEvents.h"
#include "resource.h"
#include "ui/VantrelView.h"
#include "win/WinApp.h"

namespace {

const int kNameSize = 200;  // machine and server names handed to the library: 199 characters
const char kConnectFailure[] = "Connection Failure";

}  // namespace

void CVantrelView::OnConnectButton() {
    int index = -1;
    CServerConnection* conn = GetSelectedConnection(&index);
    if (conn == nullptr || (conn->m_hServer != -1 && conn->GetItemCount() > 0))
        ConnectNewServer();
    else if (conn->m_hServer == -1)
        ReconnectServer(index);
    else
        RemoveConnection(index);
}

BOOL CVantrelView::OpenConnection(CServerConnection* conn, int hServer) {
    if (hServer == -1) {
        AfxMessageBox(kConnectFailure, MB_OK);
        return FALSE;
    }
    if (!m_connections.Open(conn, hServer)) {
        AfxMessageBox("Connection Failure -- Could Not Create Group", MB_OK);
        return FALSE;
    }
    return TRUE;
}

void CVantrelView::ConnectNewServer() {
    // Every new connection starts on this computer with no server chosen.
    CConnectServerDlg connectDlg(this);
    connectDlg.m_strMachineName.Empty();
    connectDlg.m_strServerName.Empty();
    if (connectDlg.DoModal() != IDOK) return;

    char machine[kNameSize];
    char server[kNameSize];
    ::lstrcpynA(machine, connectDlg.m_strMachineName, kNameSize);
    ::lstrcpynA(server, connectDlg.m_strServerName, kNameSize);
    int hServer = OpcConnectServer(machine, server, 0);
    DiagLog::LogConnect("(new)", machine, server, hServer != -1 ? S_OK : E_FAIL);
    if (hServer == -1) {
        AfxMessageBox(kConnectFailure, MB_OK);
        return;
    }

    // The parameters are taken however the dialog is closed: as entered after OK, as
    // preset after Esc or the close box.
    CConnectionParamsDlg paramsDlg(this);
    paramsDlg.m_strAlias = server;
    paramsDlg.m_dwUpdateRate = 1000;
    paramsDlg.m_fDeadband = 0.0f;
    paramsDlg.DoModal();

    auto* conn = new CServerConnection(m_connections.DdeInstance(), machine, server, paramsDlg.m_strAlias,
                                       paramsDlg.m_dwUpdateRate, paramsDlg.m_fDeadband);
    int index = m_connections.Add(conn);
    if (!OpenConnection(conn, hServer)) {
        m_connections.RemoveAt(index);
        return;
    }
    RequestConfigurationSave();

    // Selecting a tab from code raises no selection change: refresh here.
    InsertTab(index, conn->m_strAlias);
    TabCtrl_SetCurSel(TabCtrl(), index);
    RefreshItemList();
    UpdateStatusLine();
    UpdateConnectButton();
}

BOOL CVantrelView::ReconnectServer(int index, int attempt, BOOL quiet) {
    CServerConnection* conn = GetConnection(index);
    // One attempt at a time: the calls below let messages in, a timer tick or a click among them.
    if (conn == nullptr || conn->m_hServer != -1 || m_bAttemptRunning) return FALSE;
    quiet = quiet || attempt > 0;
    m_bAttemptRunning = TRUE;
    char machine[kNameSize], server[kNameSize];
    ::lstrcpynA(machine, conn->m_strMachineName, kNameSize);
    ::lstrcpynA(server, conn->m_strServerName, kNameSize);
    // An enumeration always comes before the connect; its count is not needed.
    if (OpcEnumerateServers(1, machine) == 0) OpcEnumerateServers(0, machine);
    int hServer = OpcConnectServer(machine, server, 0);
    DiagLog::LogConnect(static_cast<const char*>(conn->m_strAlias), machine, server, hServer != -1 ? S_OK : E_FAIL,
                        attempt);
    BOOL ok = quiet ? hServer != -1 && m_connections.Open(conn, hServer) : OpenConnection(conn, hServer);
    m_bAttemptRunning = FALSE;
    // Links that DDE clients kept through the loss need nothing more: the group refresh that
    // ends Open brings every item as a data change, and each one is posted as it is stored.
    // (Posting them here would hand the clients the values from before the loss once more.)
    if (ok) {
        CancelReconnect(conn);
    } else {
        if (quiet && conn->m_strStatus.IsEmpty()) conn->m_strStatus = "<<<<<<< Connection Failure >>>>>>>>>";
        auto waiting = m_reconnects.find(conn);
        // An automatic attempt that failed waits twice as long; the user's starts afresh.
        if (attempt > 0 && waiting != m_reconnects.end())
            waiting->second.Failed(::GetTickCount());
        else
            ScheduleReconnect(conn);
    }
    UpdateStatusLine();
    UpdateConnectButton();
    return ok;
}

void CVantrelView::RemoveConnection(int index) {
    CServerConnection* conn = GetConnection(index);
    if (conn == nullptr || m_bAttemptRunning) return;
    DiagLog::LogDisconnect(static_cast<const char*>(conn->m_strAlias), "removed by the user");
    CancelReconnect(conn);
    m_connections.RemoveAt(index);  // items, group and server leave the library
    RequestConfigurationSave();
    HWND hTab = TabCtrl();
    TabCtrl_DeleteItem(hTab, index);
    TabCtrl_SetCurSel(hTab, 0);
    RefreshItemList();
    UpdateStatusLine();
    UpdateConnectButton();
}

void CVantrelView::UpdateConnectButton() {
    CServerConnection* conn = GetSelectedConnection();
    const char* caption = "Connect to OPC Server";
    BOOL canAdd = FALSE;
    if (conn != nullptr) {
        if (conn->m_hServer == -1) {
            caption = "Attempt Reconnect";
        } else {
            canAdd = TRUE;
            if (conn->GetItemCount() == 0) caption = "Disconnect from Server";
        }
    }
    SetDlgItemText(IDC_CONNECT, caption);
    EnableDlgItem(IDC_ADD_ITEM, canAdd);
}
