#pragma once
// The application object and the process frame around it: WinMain's body (AfxWinMain),
// the message loop with accelerators and dialog keys, the command-line processing that
// opens the first document, the application's help, and modal message boxes.
//
// Exactly one application object exists per process; its constructor makes it the
// current one (AfxGetApp). Tests may construct their own in place of the program's.
// Threading: the user-interface thread only.
#include <vector>

#include "win/CString.h"
#include "win/CmdTarget.h"

class CWnd;
class CSingleDocTemplate;

// What the command line asks for (the framework's standard options only).
class CCommandLineInfo {
  public:
    enum { FileNew, FileOpen, FileNothing };
    int m_nShellCommand = FileNew;
    CString m_strFileName;
};

class CWinApp : public CCmdTarget {
  public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();
    // Walks from the message's window up to the main window, letting each translate it.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Opens the program's help (the user guide beside the executable); never blocks.
    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd);

    void AddDocTemplate(CSingleDocTemplate* pTemplate);
    BOOL Enable3dControls();
    void SetRegistryKey(const char* key);
    void LoadStdProfileSettings(UINT nMaxMRU);
    // A DWORD setting under HKCU\Software\<key>\<app name>\<section>; nDefault when it is
    // absent or not a DWORD. Writing answers FALSE when the registry refused it.
    UINT GetProfileInt(const char* section, const char* entry, int nDefault);
    BOOL WriteProfileInt(const char* section, const char* entry, int nValue);
    void ParseCommandLine(CCommandLineInfo& info);
    BOOL ProcessShellCommand(CCommandLineInfo& info);

    // Standard command handlers (listed in a derived class's table).
    void OnFileNew();
    void OnFileOpen();

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;
    CString m_strAppName;                // "Quorvane": string AFX_IDS_APP_TITLE, else the executable's name
    CString m_strHelpFilePath;           // full path of the user guide
    CString m_strRegistryKey;            // HKCU\Software\<key>\<app name> holds the profile settings
    std::vector<CString> m_recentFiles;  // the most-recently-used list read from the profile

  protected:
    CString ProfileSubKey(const char* section) const;  // HKCU-relative path of a section

    BOOL m_bOleInitialized = FALSE;
    std::vector<CSingleDocTemplate*> m_templates;  // owned

    friend BOOL AfxOleInit();
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR, int);
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
CWnd* AfxGetMainWnd();
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// OLE for the current thread (single-threaded apartment), ended by AfxWinMain.
BOOL AfxOleInit();
void AfxEnableControlContainer();
// Registers the common controls the resources use (tab, list, tree, combo box).
void AfxInitCommonControls();
// The directory of the running executable, with its trailing backslash.
CString AfxGetModuleDirectory();

// Opens the file in the program the system has for it; no UI of the shell's own and no
// waiting, so a missing viewer never stops the program. FALSE when nothing was started.
BOOL AfxOpenDocument(const char* path);

// A modal message box owned by the main window and titled with the application's name.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
// Tests replace the message box so that nothing modal blocks them; nullptr restores it.
typedef int (*AFX_MESSAGEBOX_HOOK)(HWND owner, const char* text, const char* caption, UINT type);
void AfxSetMessageBoxHook(AFX_MESSAGEBOX_HOOK hook);
