#pragma once
// The program and the steps of the road that several tests share: quorvane.exe started
// from a written configuration, a connection made through the connect dialogs, the
// browser opened.
#include <string>
#include <vector>

#include "tests/win/road/driver.h"
#include "tests/win/support/app.h"

namespace road {

constexpr char kSim[] = "Quorvane.Simulation.1";
constexpr char kSimFlat[] = "Quorvane.SimulationFlat.1";
constexpr char kSimNoBrowse[] = "Quorvane.SimulationNoBrowse.1";
constexpr char kSimSolo[] = "Quorvane.SimulationSolo.1";  // a process of its own

// Captions of the program's dialogs.
constexpr char kConnectCaption[] = "Connect to OPC Server";
constexpr char kRemoteCaption[] = "Remote OPC Server";
constexpr char kParamsCaption[] = "Server Connection Established!";
constexpr char kBrowserCaption[] = "Dialog";
constexpr char kBoxCaption[] = "Quorvane";

class Program : public qvtest::QuorvaneApp {
  public:
    // Starts the program with these connections stored (none: no file), and waits until
    // every stored connection has its tab.
    ::testing::AssertionResult Launch(const std::vector<qvtest::ConfigConnection>& connections);
    HANDLE processHandle() { return process().handle(); }

    // Presses a button of the main form the way a click does, without waiting for what
    // it opens (a modal dialog would block a sent click).
    bool PressForm(int id);
    // Opens the connect dialog from IDC_CONNECT (null if it does not come).
    HWND OpenConnectDialog();
    // Picks the server by name in the connect dialog and presses OK: the parameters
    // dialog (null if it does not come).
    HWND OpenParams(const std::string& server);
    // The whole connect road: OpenParams, the alias given, OK. True when the new tab is there.
    ::testing::AssertionResult ConnectThroughDialogs(const std::string& server, const std::string& alias);
    // Opens the browser from IDC_ADD_ITEM once it is enabled (null if it does not come).
    HWND OpenBrowser();
    // Mouse clicks on a tab (awaited) and on a list row (which must exist).
    bool ClickTab(int index);
    bool ClickRow(int row, bool right = false);
    // Input is handled in order: once a click on Suspend and one on Resume have taken
    // effect, everything typed or clicked before them has been handled. Neither touches
    // the clipboard or the row armed for deletion.
    bool Settle();
    // Ctrl+X (or Shift+Delete), handled.
    bool Cut(bool shiftDelete = false);
    bool RowsBecome(const std::vector<std::string>& want, DWORD timeoutMs = 10000);
    // Waits for a message box of the program and answers it with OK; its text.
    std::string AnswerMessageBox(DWORD timeoutMs = 10000);
    std::string TabLabel(int index) { return TabText(processHandle(), Control(IDC_SERVER_TAB), index); }
    // Rows of the list: column 0 only.
    std::vector<std::string> RowNames();
    // Waits until every row's value cell is filled.
    bool WaitForValues(DWORD timeoutMs);
};

// Fills the dialog's fields: {control id, text}.
void Fill(HWND dlg, const std::vector<std::pair<int, std::string>>& fields);
// Waits until the clipboard holds this text.
bool ClipboardBecomes(const std::string& want);

// Waits until no simulation server process runs (the last client gone, it ends by itself).
bool WaitForNoSimServer(DWORD timeoutMs);

// A connection for a configuration file, with a new connection's defaults.
inline qvtest::ConfigConnection Connection(const std::string& alias, const std::vector<std::string>& items,
                                           const std::string& server = kSim) {
    return qvtest::Conn(alias, items, server);
}

}  // namespace road
