// When advises are posted: at once for every stored data change, once a second for the
// links DDE clients started since the last tick, never while updates are suspended, and
// never from inside a DDE transaction callback (DDEML loses an advise posted there; it
// waits for the callback to return instead).
#include "app/VantrelApp.h"
#include "resource.h"
#include "ui/VantrelView.h"

BOOL CVantrelApp::PostAdvise(HSZ hszTopic, HSZ hszItem) {
    if (m_bDdeSuspended) return TRUE;
    if (IsInDdeCallback()) {
        // A poke's synchronous OPC write can deliver a data change right here. Mark the
        // item; LeaveDdeCallback has the view flush it once the transaction is over.
        if (GetItemValue(hszTopic, hszItem, nullptr)) m_bAdviseFlushDeferred = TRUE;
        return TRUE;
    }
    ::DdePostAdvise(m_idInst, hszTopic, hszItem);
    return TRUE;
}

void CVantrelApp::LeaveDdeCallback() {
    if (--m_nDdeCallbackDepth > 0 || !m_bAdviseFlushDeferred) return;
    m_bAdviseFlushDeferred = FALSE;
    if (g_hMainViewWnd != nullptr) ::PostMessageA(g_hMainViewWnd, WM_FLUSH_ADVISES, 0, 0);
}

void CServerConnection::FlushPendingAdvises() {
    CVantrelApp* app = GetVantrelApp();
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CTagItem* item = GetItem(i);
        if (item == nullptr || !item->m_bAdvisePending) continue;
        item->m_bAdvisePending = 0;  // cleared whether or not the post is suppressed
        if (app != nullptr) app->PostAdvise(m_hszTopic, item->m_hszItem);
    }
}

void CVantrelView::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == 1) {
        for (int i = 0; i < m_connections.GetSize(); ++i) {
            if (CServerConnection* conn = GetConnection(i)) conn->FlushPendingAdvises();
        }
    }
    CFormView::OnTimer(nIDEvent);
}

LRESULT CVantrelView::OnFlushAdvises(WPARAM, LPARAM) {
    for (int i = 0; i < m_connections.GetSize(); ++i) {
        if (CServerConnection* conn = GetConnection(i)) conn->FlushPendingAdvises();
    }
    return 0;
}

void CVantrelView::OnSuspendUpdates() {
    if (CVantrelApp* app = GetVantrelApp()) app->m_bDdeSuspended = TRUE;
    EnableDlgItem(IDC_SUSPEND, FALSE);
    EnableDlgItem(IDC_RESUME, TRUE);
}

void CVantrelView::OnResumeUpdates() {
    if (CVantrelApp* app = GetVantrelApp()) app->m_bDdeSuspended = FALSE;
    EnableDlgItem(IDC_RESUME, FALSE);
    EnableDlgItem(IDC_SUSPEND, TRUE);
}
