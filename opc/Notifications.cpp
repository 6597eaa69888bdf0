#include "opc/Notifications.h"

#include "app/VantrelApp.h"
#include "persist/DiagEvents.h"
#include "ui/VantrelView.h"

void __stdcall OpcDataChangeProc(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD timeLow,
                                 DWORD timeHigh, DWORD quality) {
    CVantrelApp* app = GetVantrelApp();
    if (app == nullptr || app->m_pMainView == nullptr) return;  // no view: the change is dropped
    app->m_pMainView->OnOpcDataChange(hServer, hGroup, hItem, value, timeLow, timeHigh, quality);
}

BOOL __stdcall OpcShutdownProc(int hServer) {
    // The disconnect calls back into the library: it runs later, from the message loop.
    return ::PostMessageA(g_hMainViewWnd, WM_SERVER_SHUTDOWN, 0, static_cast<LPARAM>(hServer));
}

void __stdcall OpcLibraryProc(int, int) {}

void CVantrelView::OnOpcDataChange(int hServer, int, int hItem, const VARIANT* value, DWORD timeLow,
                                   DWORD timeHigh, DWORD quality) {
    int index = -1;
    CServerConnection* conn = nullptr;
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        CServerConnection* c = GetConnection(i);
        if (c != nullptr && c->m_hServer == hServer) {
            conn = c;
            index = i;
            break;
        }
    }
    if (conn == nullptr) return;

    FILETIME ft;
    ft.dwLowDateTime = timeLow;
    ft.dwHighDateTime = timeHigh;
    int row = conn->StoreDataChange(hItem, value, ft, quality);  // posts the DDE advise

    int selected = -1;
    GetSelectedConnection(&selected);
    if (row != -1 && index == selected) UpdateItemRow(row, conn->GetItem(row));

    conn->m_strStatus = FormatConnectedStatus(conn->m_tmConnected) +
                        conn->m_tmLastUpdate.Format("    Last Updated: %H:%M:%S %d-%b-%Y");
    UpdateStatusLine();
}

LRESULT CVantrelView::OnServerShutdown(WPARAM wParam, LPARAM lParam) {
    // WM_USER + 1 is also DM_SETDEFID (a control id in wParam, lParam 0): the dialog
    // manager's own message goes on to its default handling.
    if (wParam != 0 || lParam == 0) return Default();
    int hServer = static_cast<int>(lParam);
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        CServerConnection* conn = GetConnection(i);
        if (conn == nullptr || conn->m_hServer != hServer) continue;
        DiagLog::LogServerShutdown(static_cast<const char*>(conn->m_strAlias), "the server asked its clients to disconnect");
        conn->HandleServerShutdown();
        UpdateStatusLine();
        UpdateConnectButton();
        RefreshItemList();
        break;
    }
    return 0;
}
