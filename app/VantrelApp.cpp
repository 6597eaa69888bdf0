#include "app/VantrelApp.h"

#include <objbase.h>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/VantrelDoc.h"
#include "dde/DdeServer.h"
#include "opc/OpcLibrary.h"
#include "persist/DiagEvents.h"
#include "resource.h"
#include "ui/VantrelView.h"

HWND g_hMainViewWnd = nullptr;

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
    ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IMPERSONATE,
                           nullptr, EOAC_NONE, nullptr);
    AfxEnableControlContainer();
    Enable3dControls();
    SetRegistryKey("Local AppWizard-Generated Applications");
    LoadStdProfileSettings(4);

    OpcLoadLibrary();
    StartDdeService();
    m_bDdeSuspended = FALSE;

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

void CVantrelApp::StartDdeService() {
    // APPCLASS_STANDARD with no CBF_ filter: every transaction reaches the callback, which
    // answers the ones it does not serve with 0.
    ::DdeInitializeA(&m_idInst, &DdeCallback, 0, 0);
    m_hszService = ::DdeCreateStringHandleA(m_idInst, "Quorvane", 0);
    ::DdeNameService(m_idInst, m_hszService, nullptr, DNS_REGISTER);
}

void CVantrelApp::StopDdeService() {
    if (m_idInst == 0) return;
    // Clients learn at once that the service is gone; the string handles of topics and
    // items go with the instance.
    ::DdeNameService(m_idInst, m_hszService, nullptr, DNS_UNREGISTER);
    ::DdeUninitialize(m_idInst);
    m_idInst = 0;
    m_hszService = nullptr;
}

CServerConnection* CVantrelApp::FindTopic(HSZ hszTopic) {
    return m_pMainView != nullptr ? m_pMainView->FindTopic(hszTopic) : nullptr;
}

BOOL CVantrelApp::GetItemValue(HSZ hszTopic, HSZ hszItem, VARIANT* pValue) {
    return m_pMainView != nullptr ? m_pMainView->GetItemValue(hszTopic, hszItem, pValue) : FALSE;
}

int CVantrelApp::WriteItemValue(HSZ hszTopic, HSZ hszItem, const VARIANT* pValue) {
    return m_pMainView != nullptr ? m_pMainView->WriteItemValue(hszTopic, hszItem, pValue) : 0;
}

void CVantrelApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
