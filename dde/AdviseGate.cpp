// When advises are posted: at once for every stored data change, at the next flush (once
// a second) for the links DDE clients started since, never while updates are suspended,
// and never from inside a DDE transaction callback: DDEML loses an advise posted there,
// so it waits for the callback to return.
//
// A value's road:
//
//   OPC server --data change--> KOBRIX2 --OpcDataChangeProc--> CConnectionList::StoreDataChange
//        item (value, quality, time) stored
//        |--> CAdviseGate::Advise --> DdePostAdvise --> XTYP_ADVREQ --> XlTable --> DDE client
//        |      (inside a DDE callback: item marked pending; LeaveCallback posts
//        |       WM_FLUSH_ADVISES; the window's handler runs FlushPendingAdvises)
//        '--> listener OnRowChanged --> the window redraws the row and status line (<= 10/s)
//
//   DDE client --XTYP_ADVSTART--> item marked pending --timer, 1 s--> FlushPendingAdvises
#include "dde/AdviseGate.h"

BOOL CAdviseGate::Advise(HSZ hszTopic, HSZ hszItem) {
    if (m_bSuspended) return TRUE;
    if (IsInCallback()) {
        // A poke's synchronous OPC write can deliver a data change right here.
        m_bFlushDeferred = TRUE;
        return FALSE;
    }
    ::DdePostAdvise(m_idInst, hszTopic, hszItem);
    return TRUE;
}

void CAdviseGate::LeaveCallback() {
    if (--m_nDepth > 0 || !m_bFlushDeferred) return;
    m_bFlushDeferred = FALSE;
    if (m_hFlushWnd != nullptr) ::PostMessageA(m_hFlushWnd, WM_FLUSH_ADVISES, 0, 0);
}
