#pragma once
// The application object: process start-up and shutdown and the DDE service "Quorvane".
//
// Ownership: owns the DDE server (instance, service name, advise gate); holds non-owning
// pointers to the main view and the main frame (each sets and clears its own).
// Threading: the user-interface thread only. DDEML calls its callback on this thread, and
// the OPC library delivers its callbacks here too, so nothing is locked.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

#include "dde/DdeServer.h"
#include "win/WinApp.h"

class CVantrelView;
class CMainFrame;

class CVantrelApp : public CWinApp {
  public:
    CVantrelApp();
    ~CVantrelApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The DDEML instance and the registered service name.
    void StartDdeService() { m_ddeServer.Start(); }
    // Releases what StartDdeService made (at exit, and in tests).
    void StopDdeService() { m_ddeServer.Stop(); }

    // "Allow DDE clients to write": read from the profile at start-up (on when absent),
    // applied to the DDE server at once and stored when changed. FALSE when it could not
    // be stored (it holds until the program ends).
    BOOL DdeWritesAllowed() const { return m_ddeServer.WritesAllowed(); }
    BOOL AllowDdeWrites(BOOL allow);

    CDdeServer m_ddeServer;
    CVantrelView* m_pMainView = nullptr;
    CMainFrame* m_pMainFrame = nullptr;

  protected:
    void OnAppAbout();

    BOOL m_bComInitialized = FALSE;

    DECLARE_MESSAGE_MAP()
};

// The application object as CVantrelApp, or nullptr when there is none.
CVantrelApp* GetVantrelApp();
