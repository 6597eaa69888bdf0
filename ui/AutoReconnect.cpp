// Automatic reconnect: a connection whose server shut down, died, stopped answering or
// could not be reached at start-up is tried again from a window timer, never from a wait.
// Each waits on its own back-off (ui/ReconnectBackoff.h); only one attempt runs at a time,
// because the OPC calls of an attempt let messages in (this timer's among them). The
// setting lives under the program's registry key and is switched from the Options menu.
#include <windows.h>
#include <commctrl.h>

#include "resource.h"
#include "ui/VantrelView.h"
#include "win/FrameWnd.h"
#include "win/WinApp.h"

namespace {

const UINT kReconnectTickMs = 1000;  // the countdown is redrawn at most once a second
const char kSection[] = "Settings";
const char kEntry[] = "AutoReconnect";
const int kTabLabelSize = 200;

}  // namespace

void CVantrelView::LoadAutoReconnectSetting() {
    CWinApp* app = AfxGetApp();
    m_bAutoReconnect = app == nullptr || app->GetProfileInt(kSection, kEntry, 1) != 0;
    UpdateAutoReconnectMenu();
}

void CVantrelView::OnAutoReconnect() {
    m_bAutoReconnect = !m_bAutoReconnect;
    if (CWinApp* app = AfxGetApp()) app->WriteProfileInt(kSection, kEntry, m_bAutoReconnect ? 1 : 0);
    UpdateAutoReconnectMenu();
    if (m_bAutoReconnect) {
        for (int i = 0; i < GetConnectionCount(); ++i) {
            if (GetConnection(i)->m_hServer == -1) ScheduleReconnect(GetConnection(i));
        }
    } else {
        m_reconnects.clear();
        KillTimer(kReconnectTimer);
    }
    ShowReconnectState();
}

void CVantrelView::UpdateAutoReconnectMenu() {
    CFrameWnd* frame = GetParentFrame();
    HMENU hMenu = frame != nullptr && frame->m_hWnd != nullptr ? ::GetMenu(frame->m_hWnd) : nullptr;
    if (hMenu != nullptr)
        ::CheckMenuItem(hMenu, ID_AUTO_RECONNECT, MF_BYCOMMAND | (m_bAutoReconnect ? MF_CHECKED : MF_UNCHECKED));
}

void CVantrelView::ScheduleReconnect(CServerConnection* conn) {
    if (!m_bAutoReconnect || conn == nullptr) return;
    m_reconnects[conn].Start(::GetTickCount());
    if (m_hWnd != nullptr) SetTimer(kReconnectTimer, kReconnectTickMs);
}

void CVantrelView::CancelReconnect(CServerConnection* conn) { m_reconnects.erase(conn); }

void CVantrelView::OnReconnectTimer() {
    DWORD now = ::GetTickCount();
    for (int i = 0; i < GetConnectionCount() && !m_bAttemptRunning; ++i) {
        auto it = m_reconnects.find(GetConnection(i));
        if (it == m_reconnects.end() || !it->second.IsDue(now)) continue;
        ReconnectServer(i, it->second.nextAttempt);
        break;  // the attempt took its time: the others are looked at on the next tick
    }
    if (m_reconnects.empty()) KillTimer(kReconnectTimer);
    ShowReconnectState();
}

CString CVantrelView::ReconnectText(CServerConnection* conn) const {
    auto it = m_reconnects.find(conn);
    if (it == m_reconnects.end()) return CString();
    char text[80];
    ::wsprintfA(text, "Reconnecting: attempt %d, next in %lu s", it->second.nextAttempt,
                static_cast<unsigned long>(it->second.SecondsLeft(::GetTickCount())));
    return text;
}

void CVantrelView::ShowReconnectState() {
    HWND hTab = TabCtrl();
    for (int i = 0; i < GetConnectionCount(); ++i) {
        CServerConnection* conn = GetConnection(i);
        CString wanted = conn->m_strAlias;
        CString waiting = ReconnectText(conn);
        if (!waiting.IsEmpty()) wanted += " - " + waiting;
        char shown[kTabLabelSize] = "";
        TCITEMA tci = {};
        tci.mask = TCIF_TEXT;
        tci.pszText = shown;
        tci.cchTextMax = kTabLabelSize;
        ::SendMessageA(hTab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&tci));
        if (::lstrcmpA(shown, wanted) == 0) continue;
        ::lstrcpynA(shown, wanted, kTabLabelSize);
        tci.pszText = shown;
        ::SendMessageA(hTab, TCM_SETITEMA, i, reinterpret_cast<LPARAM>(&tci));
    }
    // With no connection the form's own text stands until the first change of the set.
    if (m_connections.GetSize() > 0) UpdateStatusLine();
}
