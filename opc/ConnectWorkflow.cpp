// The new-connection sequence of the main view: choose a server, connect, name the
// connection and give its group parameters, then show it as a new, selected tab.
// Failures are told in one of two message boxes and leave nothing behind.
#include <windows.h>
#include <commctrl.h>

#include "app/VantrelApp.h"
#include "opc/ConnectServerDlg.h"
#include "opc/ConnectionParamsDlg.h"
#include "opc/Notifications.h"
#include "opc/OpcLibrary.h"
#include "persist/DiagEvents.h"
#include "ui/VantrelView.h"

namespace {

const int kNameSize = 200;  // machine and server names, tab labels: 199 characters

}  // namespace

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
        AfxMessageBox("Connection Failure", MB_OK);
        return;
    }

    // The parameters are taken however the dialog is closed: as entered after OK, as
    // preset after Esc or the close box.
    CConnectionParamsDlg paramsDlg(this);
    paramsDlg.m_strAlias = server;
    paramsDlg.m_dwUpdateRate = 1000;
    paramsDlg.m_fDeadband = 0.0f;
    paramsDlg.DoModal();

    DWORD updateRate = paramsDlg.m_dwUpdateRate;
    float deadband = paramsDlg.m_fDeadband;
    int hGroup = OpcAddGroup(hServer, "Group 1", &updateRate, &deadband);
    if (hGroup == -1) {
        AfxMessageBox("Connection Failure -- Could Not Create Group", MB_OK);
        OpcDisconnectServer(hServer);
        return;
    }

    auto* conn = new CServerConnection;
    conn->m_hServer = hServer;
    conn->m_hGroup = hGroup;
    conn->m_tmConnected = CTime::GetCurrentTime();
    conn->m_dwUpdateRate = updateRate;  // as the server revised them
    conn->m_fDeadband = deadband;
    conn->m_strMachineName = machine;
    conn->m_strServerName = server;
    conn->m_strAlias = paramsDlg.m_strAlias;
    conn->m_strStatus = FormatConnectedStatus(conn->m_tmConnected);
    CVantrelApp* app = GetVantrelApp();
    conn->m_hszTopic = app != nullptr ? ::DdeCreateStringHandleA(app->m_idInst, conn->m_strAlias, 0) : nullptr;
    m_connections.Add(conn);
    RequestConfigurationSave();

    OpcSetDataChangeCallback(hServer, OpcDataChangeProc);
    OpcSetShutdownCallback(hServer, OpcShutdownProc);
    OpcSetLibraryCallback(OpcLibraryProc);

    // Selecting a tab from code raises no selection change: refresh here.
    int count = m_connections.GetSize();
    char label[kNameSize];
    ::lstrcpynA(label, conn->m_strAlias, kNameSize);
    TCITEMA tci = {};
    tci.mask = TCIF_TEXT;
    tci.pszText = label;
    HWND hTab = TabCtrl();
    ::SendMessageA(hTab, TCM_INSERTITEMA, count, reinterpret_cast<LPARAM>(&tci));
    TabCtrl_SetCurSel(hTab, count - 1);
    RefreshItemList();
    UpdateStatusLine();
    UpdateConnectButton();
}
