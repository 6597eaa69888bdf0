#include "win/WinApp.h"

#include "win/ProgramFolder.h"

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <commdlg.h>

#include "win/Document.h"
#include "win/FrameWnd.h"
#include "win/ModalLoop.h"
#include "win/Wnd.h"

namespace {

CWinApp* g_pApp = nullptr;
AFX_MESSAGEBOX_HOOK g_messageBoxHook = nullptr;

// String resource AFX_IDS_APP_TITLE (0xE000): the application's title.
const UINT kAppTitleString = 0xE000;
const char kHelpFileName[] = "quorvane-guide.html";

CString LoadResourceString(UINT id) {
    char buffer[512] = {};
    int n = ::LoadStringA(AfxGetInstanceHandle(), id, buffer, sizeof buffer);
    return CString(buffer, n > 0 ? n : 0);
}

// What a message box of this type answers when it is cancelled (Esc or its close box).
int CancelAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return IDOK;
        case MB_YESNO:
            return IDNO;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        default:
            return IDCANCEL;
    }
}

}  // namespace

CWinApp::CWinApp(const char* appName) {
    if (appName != nullptr) m_strAppName = appName;
    g_pApp = this;
}

CWinApp::~CWinApp() {
    for (CSingleDocTemplate* t : m_templates) delete t;
    if (g_pApp == this) g_pApp = nullptr;
}

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() {
    if (g_pApp != nullptr && g_pApp->m_hInstance != nullptr) return g_pApp->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

CWnd* AfxGetMainWnd() { return g_pApp != nullptr ? g_pApp->m_pMainWnd : nullptr; }

CString AfxGetModuleDirectory() { return CString(ProgramFolder().c_str()); }

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
    HWND hMain = m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr;
    for (HWND h = pMsg->hwnd; h != nullptr; h = ::GetParent(h)) {
        CWnd* pWnd = CWnd::FromHandlePermanent(h);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg)) return TRUE;
        if (h == hMain) break;
    }
    return FALSE;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

void CWinApp::WinHelp(DWORD_PTR, UINT) {
    if (!m_strHelpFilePath.IsEmpty()) AfxOpenDocument(m_strHelpFilePath);
}

BOOL AfxOpenDocument(const char* path) {
    if (path == nullptr || *path == '\0') return FALSE;
    CWnd* main = AfxGetMainWnd();
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_FLAG_NO_UI;
    sei.hwnd = main != nullptr ? main->m_hWnd : nullptr;
    sei.lpVerb = "open";
    sei.lpFile = path;
    sei.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExA(&sei);
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* pTemplate) { m_templates.push_back(pTemplate); }

BOOL CWinApp::Enable3dControls() {
    // The three-dimensional look is the system's own since Windows 95; the controls only
    // need to be registered.
    AfxInitCommonControls();
    return TRUE;
}

void CWinApp::SetRegistryKey(const char* key) { m_strRegistryKey = key; }

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU) {
    m_recentFiles.clear();
    if (m_strRegistryKey.IsEmpty()) return;
    CString subKey = ProfileSubKey("Recent File List");
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return;
    for (UINT i = 1; i <= nMaxMRU; ++i) {
        char name[16], value[MAX_PATH] = {};
        wsprintfA(name, "File%u", i);
        DWORD size = sizeof value - 1, type = 0;
        if (::RegQueryValueExA(hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
            type == REG_SZ && value[0] != '\0')
            m_recentFiles.push_back(value);
    }
    ::RegCloseKey(hKey);
}

CString CWinApp::ProfileSubKey(const char* section) const {
    return "Software\\" + m_strRegistryKey + "\\" + m_strAppName + "\\" + section;
}

UINT CWinApp::GetProfileInt(const char* section, const char* entry, int nDefault) {
    if (m_strRegistryKey.IsEmpty()) return static_cast<UINT>(nDefault);
    CString subKey = ProfileSubKey(section);
    DWORD value = 0, size = sizeof value, type = 0;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return static_cast<UINT>(nDefault);
    LONG rc = ::RegQueryValueExA(hKey, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : static_cast<UINT>(nDefault);
}

BOOL CWinApp::WriteProfileInt(const char* section, const char* entry, int nValue) {
    if (m_strRegistryKey.IsEmpty()) return FALSE;
    CString subKey = ProfileSubKey(section);
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS)
        return FALSE;
    DWORD value = static_cast<DWORD>(nValue);
    LONG rc = ::RegSetValueExA(hKey, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(hKey);
    return rc == ERROR_SUCCESS;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    info.m_nShellCommand = CCommandLineInfo::FileNew;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        if (argv[i][0] == L'/' || argv[i][0] == L'-') continue;  // framework flags: nothing of ours
        char name[MAX_PATH * 2] = {};
        ::WideCharToMultiByte(CP_ACP, 0, argv[i], -1, name, sizeof name - 1, nullptr, nullptr);
        info.m_strFileName = name;
        info.m_nShellCommand = CCommandLineInfo::FileOpen;
    }
    if (argv != nullptr) ::LocalFree(argv);
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
        case CCommandLineInfo::FileNew:
            OnFileNew();
            return m_pMainWnd != nullptr;
        case CCommandLineInfo::FileOpen:
            if (m_templates.empty()) return FALSE;
            return m_templates.front()->OpenDocumentFile(info.m_strFileName) != nullptr;
        default:
            return TRUE;
    }
}

void CWinApp::OnFileNew() {
    if (!m_templates.empty()) m_templates.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnFileOpen() {
    if (m_templates.empty()) return;
    char path[MAX_PATH] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr;
    ofn.lpstrFilter = "All Files (*.*)\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (AfxIsClosePending()) return;
    BOOL chosen;
    {
        CModalLoopScope modal;
        chosen = ::GetOpenFileNameA(&ofn);
    }
    if (chosen) m_templates.front()->OpenDocumentFile(path);
}

BOOL AfxOleInit() {
    CWinApp* app = AfxGetApp();
    HRESULT hr = ::OleInitialize(nullptr);
    if (app != nullptr) app->m_bOleInitialized = SUCCEEDED(hr);
    return SUCCEEDED(hr);
}

void AfxEnableControlContainer() {
    // No ActiveX controls are hosted: the resources hold none.
}

void AfxInitCommonControls() {
    static bool s_done = false;
    if (s_done) return;
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES |
                                                ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    s_done = ::InitCommonControlsEx(&icc) != FALSE;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nCmdShow) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return -1;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = lpCmdLine;
    app->m_nCmdShow = nCmdShow;
    CString title = LoadResourceString(kAppTitleString);
    if (!title.IsEmpty()) app->m_strAppName = title;
    app->m_strHelpFilePath = AfxGetModuleDirectory() + kHelpFileName;
    AfxInitCommonControls();

    int result;
    BOOL started;
    {
        // A close request during the start-up waits until the start-up is done.
        CModalLoopScope startup;
        started = app->InitInstance();
    }
    if (!started) {
        if (app->m_pMainWnd != nullptr) app->m_pMainWnd->DestroyWindow();
        result = app->ExitInstance();
    } else {
        result = app->Run();
    }
    if (app->m_bOleInitialized) ::OleUninitialize();
    return result;
}

void AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK hook) { g_messageBoxHook = hook; }

int AfxMessageBox(const char* text, UINT type, UINT) {
    CWinApp* app = AfxGetApp();
    HWND owner = nullptr;
    if (app != nullptr && app->m_pMainWnd != nullptr) owner = app->m_pMainWnd->m_hWnd;
    const char* caption =
        (app != nullptr && !app->m_strAppName.IsEmpty()) ? static_cast<const char*>(app->m_strAppName) : "Quorvane";
    if (g_messageBoxHook != nullptr) return g_messageBoxHook(owner, text, caption, type);
    if (AfxIsClosePending()) return CancelAnswer(type);  // the program is closing
    CModalLoopScope modal;
    return ::MessageBoxA(owner, text, caption, type);
}
