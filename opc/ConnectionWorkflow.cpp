// The connect button of the main view: re-establishing a connection, removing an idle
// one, and the button captions that say which of them a click will do.
#include <windows.h>
#include <commctrl.h>

#include "app/VantrelApp.h"
#include "opc/Notifications.h"
#include "opc/OpcLibrary.h"
#include "persist/DiagEvents.h"
#include "resource.h"
#include "ui/VantrelView.h"

namespace {

const char kGroupName[] = "Group 1";
const int kNameBufferSize = 200;  // names handed to the library: at most 199 characters

}  // namespace

void CVantrelView::OnConnectButton() {
    int index = -1;
    CServerConnection* conn = GetSelectedConnection(&index);
    if (conn == nullptr || (conn->m_hServer != -1 && conn->GetItemCount() > 0)) ConnectNewServer();
    else if (conn->m_hServer == -1) ReconnectServer(index);
    else RemoveConnection(index);
}

void CVantrelView::ReconnectServer(int index) {
    CServerConnection* conn = GetConnection(index);
    if (conn == nullptr) return;
    char machine[kNameBufferSize], server[kNameBufferSize];
    ::lstrcpynA(machine, conn->m_strMachineName, kNameBufferSize);
    ::lstrcpynA(server, conn->m_strServerName, kNameBufferSize);

    // An enumeration always comes before the connect; its count is not needed.
    if (OpcEnumerateServers(1, machine) == 0) OpcEnumerateServers(0, machine);
    conn->m_hServer = OpcConnectServer(machine, server, 0);
    DiagLog::LogConnect(static_cast<const char*>(conn->m_strAlias), machine, server, conn->m_hServer != -1 ? S_OK : E_FAIL);
    if (conn->m_hServer == -1) {
        AfxMessageBox("Connection Failure", MB_OK);
        return;
    }
    conn->m_hGroup = OpcAddGroup(conn->m_hServer, kGroupName, &conn->m_dwUpdateRate, &conn->m_fDeadband);
    if (conn->m_hGroup == -1) {
        AfxMessageBox("Connection Failure -- Could Not Create Group", MB_OK);
        OpcDisconnectServer(conn->m_hServer);
        conn->m_hServer = -1;
        return;
    }
    conn->m_tmConnected = CTime::GetCurrentTime();
    OpcSetDataChangeCallback(conn->m_hServer, &OpcDataChangeProc);
    OpcSetShutdownCallback(conn->m_hServer, &OpcShutdownProc);
    conn->m_strStatus = FormatConnectedStatus(conn->m_tmConnected);
    for (int i = 0; i < conn->GetItemCount(); ++i) {
        CTagItem* item = conn->GetItem(i);
        if (item != nullptr) item->m_hItem = OpcAddItem(conn->m_hServer, conn->m_hGroup, item->m_strTagName);
    }
    OpcRefreshGroup(conn->m_hServer, conn->m_hGroup, KOBRIX_REFRESH_GROUP);
    UpdateStatusLine();
    UpdateConnectButton();
}

void CVantrelView::RemoveConnection(int index) {
    CServerConnection* conn = GetConnection(index);
    if (conn == nullptr) return;
    m_connections.RemoveAt(index);
    DiagLog::LogDisconnect(static_cast<const char*>(conn->m_strAlias), "removed by the user");
    delete conn;  // items, group and server leave the library
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
