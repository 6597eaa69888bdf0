#include "tests/win/app/app_env.h"

#include <windows.h>
#include <commctrl.h>

#include "app/VantrelDoc.h"
#include "resource.h"

namespace apptest {

IMPLEMENT_DYNCREATE(CTestView)
std::string CTestView::s_configPath;

namespace {
std::vector<std::string> g_boxes;

int RecordMessageBox(HWND, const char* text, const char*, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}
}  // namespace

CTestApp& App() {
    static CTestApp* app = [] {
        CTestApp* a = new CTestApp;  // lives for the whole process
        a->m_strAppName = "Quorvane";
        ::OleInitialize(nullptr);
        a->StartDdeService();
        AfxSetMessageBoxHook(&RecordMessageBox);
        AfxInitCommonControls();
        return a;
    }();
    return *app;
}

CAdviseGate& Gate() { return App().m_ddeServer.Gate(); }

HSZ Hsz(const char* text) { return ::DdeCreateStringHandleA(App().m_ddeServer.Instance(), text, 0); }

std::vector<std::string> TakeMessageBoxes() {
    std::vector<std::string> out;
    out.swap(g_boxes);
    return out;
}

bool Pump(DWORD ms, const std::function<bool()>& done) {
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!App().PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        if (done && done()) return true;
        if (::GetTickCount() - start >= ms) return done ? done() : true;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::string Cfg(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}


MainWindow::MainWindow(const std::string& configPath) {
    App();
    CTestView::s_configPath = configPath;
    CVantrelDoc* doc = new CVantrelDoc;  // goes with its view
    frame = new CMainFrame;
    CCreateContext context;
    context.m_pNewViewClass = RUNTIME_CLASS(CTestView);
    context.m_pCurrentDoc = doc;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
        frame = nullptr;
        return;
    }
    view = static_cast<CTestView*>(doc->GetViews().front());
    doc->OnNewDocument();
    frame->InitialUpdateFrame(doc, TRUE);
}

void MainWindow::Destroy() {
    if (frame != nullptr && frame->IsWindow()) frame->DestroyWindow();
    frame = nullptr;
    view = nullptr;
}

int MainWindow::TabCount() const { return TabCtrl_GetItemCount(view->GetDlgItem(IDC_SERVER_TAB)); }
int MainWindow::RowCount() const { return ListView_GetItemCount(view->GetDlgItem(IDC_ITEM_LIST)); }

std::string MainWindow::Cell(int row, int column) const {
    char buffer[512] = {};
    LVITEMA lvi = {};
    lvi.iSubItem = column;
    lvi.pszText = buffer;
    lvi.cchTextMax = sizeof buffer;
    ::SendMessageA(view->GetDlgItem(IDC_ITEM_LIST), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&lvi));
    return buffer;
}

void MainWindow::Click(int id) {
    ::SendMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(view->GetDlgItem(id)));
}

}  // namespace apptest
