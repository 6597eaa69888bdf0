// The "Allow DDE clients to write" switch in the window: the Options menu item, checked
// while writes are on, and the line "DDE writes: on/off" in the DDE Updates group, which
// always shows the state. The application keeps the setting and the DDE server obeys it.
#include <windows.h>

#include "app/VantrelApp.h"
#include "resource.h"
#include "ui/VantrelView.h"
#include "win/FrameWnd.h"

void CVantrelView::OnDdeWrites() {
    CVantrelApp* app = GetVantrelApp();
    if (app == nullptr) return;
    app->AllowDdeWrites(!app->DdeWritesAllowed());
    ShowDdeWrites();
}

void CVantrelView::ShowDdeWrites() {
    CVantrelApp* app = GetVantrelApp();
    BOOL on = app == nullptr || app->DdeWritesAllowed();
    SetDlgItemText(IDC_DDE_WRITES, on ? "DDE writes: on" : "DDE writes: off");
    if (CFrameWnd* frame = GetParentFrame())
        ::CheckMenuItem(::GetMenu(frame->m_hWnd), ID_DDE_WRITES, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}
