#pragma once
// The test process's application: one CVantrelApp with a real DDEML instance and the
// service "Quorvane" registered, OLE initialised on the test thread, message boxes
// recorded instead of shown, the help recorded instead of opened. Plus a main window
// built as the program builds it (frame, document, view) over a configuration file in a
// temporary folder, and helpers to pump messages and read the form's controls.
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/VantrelApp.h"
#include "ui/VantrelView.h"

namespace apptest {

class CTestApp : public CVantrelApp {
  public:
    void WinHelp(DWORD_PTR, UINT nCmd) override { helpCalls.push_back(nCmd); }
    std::vector<UINT> helpCalls;
};

CTestApp& App();
// Message boxes shown since the last call (their texts), cleared by the call.
std::vector<std::string> TakeMessageBoxes();

// The view of the tests: its configuration file is wherever the test says.
class CTestView : public CVantrelView {
    DECLARE_DYNCREATE(CTestView)

  public:
    static std::string s_configPath;
    CObArray& Connections() { return m_connections; }
    int SelectedItemRow() const { return m_nSelectedItem; }

  protected:
    CString ConfigFilePath() const override { return s_configPath.c_str(); }
};

// A fresh temporary folder, removed with its files when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    std::string Path(const std::string& name) const { return dir_ + "\\" + name; }

  private:
    std::string dir_;
};

bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// The main window over configPath: frame, document and view, set up as at start-up.
class MainWindow {
  public:
    explicit MainWindow(const std::string& configPath);
    ~MainWindow();  // destroys the window (which saves the configuration) if still there
    void Destroy();

    CMainFrame* frame = nullptr;
    CTestView* view = nullptr;

    int TabCount() const;
    int SelectedTab() const;
    int RowCount() const;
    std::string Cell(int row, int column) const;
    std::string ControlText(int id) const;
    bool ControlEnabled(int id) const;
    void Click(int id);  // BN_CLICKED from the control, as the control sends it
    CServerConnection* Connection(int index) const;
};

// Pumps the thread's messages for ms milliseconds (through the application's translation).
void Pump(DWORD ms);

// A configuration file text from entry lines ("Key = value"), each ended with CR LF.
std::string Cfg(const std::vector<std::string>& lines);

VARIANT R8(double d);

}  // namespace apptest
