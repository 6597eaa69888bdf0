#include "app/VantrelApp.h"

#include <objbase.h>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/VantrelDoc.h"
#include "opc/OpcLibrary.h"
#include "persist/DiagEvents.h"
#include "resource.h"
#include "ui/VantrelView.h"

namespace {

const char kSettingsSection[] = "Settings";
const char kAllowDdeWrites[] = "AllowDdeWrites";

}  // namespace

BEGIN_MESSAGE_MAP(CVantrelApp, CWinApp)
    ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
    ON_COMMAND(ID_FILE_NEW, OnFileNew)
    ON_COMMAND(ID_FILE_OPEN, OnFileOpen)
END_MESSAGE_MAP()

CVantrelApp::CVantrelApp() = default;
CVantrelApp::~CVantrelApp() = default;

CVantrelApp* GetVantrelApp() { return dynamic_cast<CVantrelApp*>(AfxGetApp()); }

BOOL CVantrelApp::InitInstance() {
    // Platform set-up: results are not tested; the program runs on with what it got.
    AfxOleInit();
    m_bComInitialized = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    // Authentication level none: the OPC servers' callbacks into this process are not
    // authenticated (they come from servers on other machines as well).
    ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                           EOAC_NONE, nullptr);
    AfxEnableControlContainer();
    Enable3dControls();
    SetRegistryKey("Local AppWizard-Generated Applications");
    LoadStdProfileSettings(4);

    OpcLoadLibrary();
    StartDdeService();
    m_ddeServer.SetWritesAllowed(GetProfileInt(kSettingsSection, kAllowDdeWrites, 1) != 0);

    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CVantrelDoc), RUNTIME_CLASS(CMainFrame),
                                          RUNTIME_CLASS(CVantrelView)));
    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo)) return FALSE;

    m_pMainWnd->ShowWindow(SW_SHOW);
    m_pMainWnd->UpdateWindow();
    return TRUE;
}

int CVantrelApp::ExitInstance() {
    DiagLog::LogStop();
    StopDdeService();
    if (m_bComInitialized) {
        ::CoUninitialize();
        m_bComInitialized = FALSE;
    }
    return CWinApp::ExitInstance();
}

BOOL CVantrelApp::AllowDdeWrites(BOOL allow) {
    m_ddeServer.SetWritesAllowed(allow);
    BOOL stored = WriteProfileInt(kSettingsSection, kAllowDdeWrites, allow ? 1 : 0);
    DiagLog::LogDdeWrites(allow != FALSE, stored != FALSE);
    return stored;
}

void CVantrelApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
