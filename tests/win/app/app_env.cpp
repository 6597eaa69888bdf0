#include "tests/win/app/app_env.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>

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

std::vector<std::string> TakeMessageBoxes() {
    std::vector<std::string> out;
    out.swap(g_boxes);
    return out;
}

TempDir::TempDir() {
    char base[MAX_PATH];
    ::GetTempPathA(sizeof base, base);
    static int counter = 0;
    char name[MAX_PATH + 64];
    std::snprintf(name, sizeof name, "%sqv_app_%lu_%d", base, ::GetCurrentProcessId(), ++counter);
    ::CreateDirectoryA(name, nullptr);
    dir_ = name;
}

TempDir::~TempDir() {
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((dir_ + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = dir_ + "\\" + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ::RemoveDirectoryA(p.c_str());
            else ::DeleteFileA(p.c_str());
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    ::RemoveDirectoryA(dir_.c_str());
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string ReadFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

void Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!App().PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        if (ms > 0) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

std::string Cfg(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

VARIANT R8(double d) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = d;
    return v;
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

MainWindow::~MainWindow() { Destroy(); }

void MainWindow::Destroy() {
    if (frame != nullptr && frame->IsWindow()) frame->DestroyWindow();
    frame = nullptr;
    view = nullptr;
}

int MainWindow::TabCount() const { return TabCtrl_GetItemCount(view->GetDlgItem(IDC_SERVER_TAB)); }
int MainWindow::SelectedTab() const { return TabCtrl_GetCurSel(view->GetDlgItem(IDC_SERVER_TAB)); }
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

std::string MainWindow::ControlText(int id) const { return static_cast<const char*>(view->GetDlgItemText(id)); }

bool MainWindow::ControlEnabled(int id) const { return ::IsWindowEnabled(view->GetDlgItem(id)) != FALSE; }

void MainWindow::Click(int id) {
    ::SendMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(view->GetDlgItem(id)));
}

CServerConnection* MainWindow::Connection(int index) const {
    return static_cast<CServerConnection*>(view->Connections().GetAt(index));
}

}  // namespace apptest
