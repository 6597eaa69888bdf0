#pragma once
// The test process's application: one CVantrelApp with a real DDEML instance and the
// service "Quorvane" registered, OLE initialised on the test thread, message boxes
// recorded instead of shown, the help recorded instead of opened. Plus a main window
// built as the program builds it (frame, document, view) over a configuration file the
// test names, and helpers to pump messages and read the form's controls.
#include <functional>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/VantrelApp.h"
#include "tests/win/support/folder.h"
#include "tests/win/support/opc.h"
#include "ui/VantrelView.h"

namespace apptest {

class CTestApp : public CVantrelApp {
  public:
    void WinHelp(DWORD_PTR, UINT nCmd) override { helpCalls.push_back(nCmd); }
    std::vector<UINT> helpCalls;
};

CTestApp& App();
CAdviseGate& Gate();
HSZ Hsz(const char* text);  // a string handle of the application's DDE instance
// Message boxes shown since the last call (their texts), cleared by the call.
std::vector<std::string> TakeMessageBoxes();

// The view of the tests: its configuration file is wherever the test says.
class CTestView : public CVantrelView {
    DECLARE_DYNCREATE(CTestView)

  public:
    static std::string s_configPath;
    void Arm(int row) { m_nSelectedItem = row; }  // the row a click hit

  protected:
    CString ConfigFilePath() const override { return s_configPath.c_str(); }
};

// The main window over configPath: frame, document and view, set up as at start-up.
class MainWindow {
  public:
    explicit MainWindow(const std::string& configPath);
    ~MainWindow() { Destroy(); }  // destroying the window saves the configuration
    void Destroy();

    CMainFrame* frame = nullptr;
    CTestView* view = nullptr;

    int TabCount() const;
    int RowCount() const;
    std::string Cell(int row, int column) const;
    std::string ControlText(int id) const { return static_cast<const char*>(view->GetDlgItemText(id)); }
    void Click(int id);  // BN_CLICKED from the control, as the control sends it
    CServerConnection* Connection(int index) const { return view->GetConnection(index); }
};

// Pumps the thread's messages (through the application's translation) until done answers
// true or ms milliseconds pass; answers done's last answer (none given: pumps ms).
bool Pump(DWORD ms, const std::function<bool()>& done = nullptr);

// A configuration file text from entry lines ("Key = value"), each ended with CR LF.
std::string Cfg(const std::vector<std::string>& lines);

inline VARIANT R8(double d) { return qvtest::MakeVariant(VT_R8, d); }

}  // namespace apptest
