#pragma once
// The main frame: menu bar 128 (one inert item), accelerators 128, the form view inside,
// no toolbar and no status bar. Help commands open the user guide. When Windows ends the
// session the frame has the configuration saved, because no WM_DESTROY will follow.
//
// Ownership: deletes itself with its window. Threading: the user-interface thread only.
#include "win/FrameWnd.h"

class CMainFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CMainFrame)

  public:
    CMainFrame();
    ~CMainFrame() override;

    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    // The frame's Help command, for the main view's help icon.
    void RunHelp() { OnHelp(); }

  protected:
    int OnCreate(LPCREATESTRUCTA lpcs);
    void OnEndSession(BOOL bEnding);
    void OnOpenLog();  // the diagnostic log in the viewer the system has for it

    DECLARE_MESSAGE_MAP()
};
