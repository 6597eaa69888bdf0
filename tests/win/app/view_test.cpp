// The main view as the program builds it: start-up from a configuration file, the list
// and the status line under data changes, server shutdown (and the dialog manager's
// DM_SETDEFID, which has the same number), the connect button, suspension, help routing,
// and saving when the window goes or the session ends.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/MainFrame.h"
#include "opc/Notifications.h"
#include "resource.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"

using namespace apptest;

namespace {

// Two connections: Line1 (3 items) becomes server 101, Line2 (2 items) server 102.
std::string TwoConnections() {
    return Cfg({"FileRev = 1.00", "Number Of Connections = 2",
                "UpdateRate = 500", "Deadband = 0.000000", "MachineName = ", "ServerName = Sim.One", "Alias = Line1",
                "Number Of Items = 3", "TagName = A.Temp", "TagName = A.Level", "TagName = A.Count",
                "UpdateRate = 1000", "Deadband = 2.500000", "MachineName = ", "ServerName = Sim.Two", "Alias = Line2",
                "Number Of Items = 2", "TagName = B.Pressure", "TagName = B.Running"});
}

class ViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        fakeopc::Install();
        TakeMessageBoxes();
        App().m_bDdeSuspended = FALSE;
        App().helpCalls.clear();
        config = dir.Path("quorvane.cfg");
    }
    void TearDown() override {
        window.reset();
        OpcSetLibraryTable(nullptr);
    }
    void Open(const std::string& cfgText) {
        ASSERT_TRUE(WriteFile(config, cfgText));
        window.reset(new MainWindow(config));
        ASSERT_NE(window->view, nullptr);
    }
    void DataChange(int hServer, int hItem, double value, DWORD quality = 192) {
        VARIANT v = R8(value);
        OPCDATACHANGEPROC proc = fakeopc::DataChangeProcFor(hServer);
        ASSERT_NE(proc, nullptr);
        proc(hServer, 0, hItem, &v, 0x2A3B4C5D, 0x01DB0000, quality);
    }

    TempDir dir;
    std::string config;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

TEST_F(ViewTest, StartUpWithoutAFileShowsNoConnections) {
    window.reset(new MainWindow(dir.Path("none.cfg")));
    EXPECT_EQ(window->TabCount(), 0);
    EXPECT_EQ(window->RowCount(), 0);
    EXPECT_EQ(window->ControlText(IDC_STATUS), "<<<<<<<<<<< No Server Connections >>>>>>>>>>");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Connect to OPC Server");
    EXPECT_TRUE(window->ControlEnabled(IDC_CONNECT));
    EXPECT_FALSE(window->ControlEnabled(IDC_ADD_ITEM));
    EXPECT_TRUE(window->ControlEnabled(IDC_SUSPEND));
    EXPECT_FALSE(window->ControlEnabled(IDC_RESUME));
    EXPECT_STREQ(window->frame->GetWindowText(), "Quorvane");
    EXPECT_EQ(g_hMainViewWnd, window->view->m_hWnd);

    // At exit it writes exactly the two entries of an empty configuration.
    window->Destroy();
    EXPECT_EQ(ReadFile(dir.Path("none.cfg")), "FileRev = 1.00\r\nNumber Of Connections = 0\r\n");
}

TEST_F(ViewTest, StartUpReconnectsEveryConnectionInOrderAndSelectsTheLast) {
    Open(TwoConnections());
    EXPECT_EQ(window->TabCount(), 2);
    EXPECT_EQ(window->SelectedTab(), 1);
    ASSERT_EQ(window->RowCount(), 2);
    EXPECT_EQ(window->Cell(0, 0), "B.Pressure");
    EXPECT_EQ(window->Cell(1, 0), "B.Running");
    EXPECT_EQ(window->Cell(0, 1), " unknown type:0 ");
    EXPECT_EQ(window->Cell(0, 2), "Bad");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Connect to OPC Server");  // connected, with items
    EXPECT_TRUE(window->ControlEnabled(IDC_ADD_ITEM));
    EXPECT_EQ(window->ControlText(IDC_STATUS).rfind("Connected: ", 0), 0u);

    // Enumerate, connect, group, callbacks, items, refresh; the first connection first.
    std::vector<std::string> expected = {
        "EnumerateServers 1 ", "ConnectServer |Sim.One", "AddGroup 101 Group 1 500 0.0",
        "SetDataChangeCallback 101", "SetShutdownCallback 101", "AddItem 101 201 A.Temp", "AddItem 101 201 A.Level",
        "AddItem 101 201 A.Count", "RefreshGroup 101 201 0",
        "EnumerateServers 1 ", "ConnectServer |Sim.Two", "AddGroup 102 Group 1 1000 2.5",
        "SetDataChangeCallback 102", "SetShutdownCallback 102", "AddItem 102 202 B.Pressure",
        "AddItem 102 202 B.Running", "RefreshGroup 102 202 0"};
    EXPECT_EQ(fakeopc::S().calls, expected);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST_F(ViewTest, DataChangeRewritesTheSelectedTabsRowAndTheStatusLine) {
    Open(TwoConnections());
    DataChange(102, 305, 3.14159);  // B.Running: second row of the selected tab
    EXPECT_EQ(window->Cell(1, 1), "   3.1416 ");
    EXPECT_EQ(window->Cell(1, 2), "Good");
    EXPECT_EQ(window->Cell(0, 1), " unknown type:0 ");  // the other row untouched
    std::string status = window->ControlText(IDC_STATUS);
    EXPECT_EQ(status.rfind("Connected: ", 0), 0u);
    EXPECT_NE(status.find("    Last Updated: "), std::string::npos);
}

TEST_F(ViewTest, DataChangeForAnotherTabTouchesNoRowButRefreshesTheStatusLine) {
    Open(TwoConnections());
    window->view->SetDlgItemText(IDC_STATUS, "marker");
    std::string row0 = window->Cell(0, 1), row1 = window->Cell(1, 1);
    DataChange(101, 302, 9.5);  // A.Level of Line1, whose tab is not selected
    EXPECT_EQ(window->Cell(0, 1), row0);
    EXPECT_EQ(window->Cell(1, 1), row1);
    EXPECT_DOUBLE_EQ(window->Connection(0)->GetItem(1)->m_vValue.dblVal, 9.5);
    // The status line shows the selected tab's status again, not the other connection's.
    EXPECT_EQ(window->ControlText(IDC_STATUS), std::string(window->Connection(1)->m_strStatus));
    EXPECT_NE(std::string(window->Connection(0)->m_strStatus).find("Last Updated"), std::string::npos);

    // Unknown server: nothing at all; unknown item of a known server: status rebuilt only.
    window->view->SetDlgItemText(IDC_STATUS, "marker");
    OpcDataChangeProc(999, 0, 302, nullptr, 0, 0, 192);
    EXPECT_EQ(window->ControlText(IDC_STATUS), "marker");
    DataChange(102, 999, 1.0);
    EXPECT_EQ(window->ControlText(IDC_STATUS), std::string(window->Connection(1)->m_strStatus));
    EXPECT_EQ(window->Cell(0, 1), row0);
}

TEST_F(ViewTest, ShutdownRequestDisconnectsWhenTheMessageLoopDeliversIt) {
    Open(TwoConnections());
    DataChange(102, 304, 7.0);
    fakeopc::S().calls.clear();
    EXPECT_TRUE(OpcShutdownProc(102));
    EXPECT_TRUE(fakeopc::S().calls.empty());  // nothing inside the callback
    Pump(50);
    EXPECT_EQ(fakeopc::S().calls, (std::vector<std::string>{"RemoveItem 102 202 304", "RemoveItem 102 202 305",
                                                              "RemoveGroup 102 202", "DisconnectServer 102"}));
    CServerConnection* conn = window->Connection(1);
    EXPECT_EQ(conn->m_hServer, -1);
    EXPECT_EQ(window->ControlText(IDC_STATUS), "<<<<<<< Server Requested Disconnect >>>>>>>>>");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Attempt Reconnect");
    EXPECT_FALSE(window->ControlEnabled(IDC_ADD_ITEM));
    EXPECT_EQ(window->Cell(0, 1), "   7.0000 ");  // last value kept, quality bad
    EXPECT_EQ(window->Cell(0, 2), "Bad");
    EXPECT_EQ(window->Cell(1, 2), "Bad");

    // A second request for the same server finds nobody.
    fakeopc::S().calls.clear();
    OpcShutdownProc(102);
    Pump(50);
    EXPECT_TRUE(fakeopc::S().calls.empty());

    // The button now reconnects: every item gets a new handle; the rows stay as they were.
    window->Click(IDC_CONNECT);
    EXPECT_EQ(conn->m_hServer, 103);
    EXPECT_EQ(conn->GetItem(0)->m_hItem, 306);
    EXPECT_EQ(conn->GetItem(1)->m_hItem, 307);
    EXPECT_EQ(window->Cell(0, 2), "Bad");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Connect to OPC Server");
}

TEST_F(ViewTest, DialogManagersSetDefIdIsNeverTakenForAShutdown) {
    Open(TwoConnections());
    fakeopc::S().calls.clear();
    HWND hView = window->view->m_hWnd;
    ::SendMessageA(hView, DM_SETDEFID, IDC_CONNECT, 0);
    EXPECT_TRUE(fakeopc::S().calls.empty());
    EXPECT_EQ(window->Connection(0)->m_hServer, 101);
    EXPECT_EQ(window->Connection(1)->m_hServer, 102);
    // ... and the dialog manager got it: the form now has that default button.
    LRESULT def = ::SendMessageA(hView, DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(def), DC_HASDEFID);
    EXPECT_EQ(LOWORD(def), IDC_CONNECT);

    // A genuine shutdown message for server 101 still works.
    ::SendMessageA(hView, WM_SERVER_SHUTDOWN, 0, 101);
    EXPECT_EQ(window->Connection(0)->m_hServer, -1);
    EXPECT_EQ(window->Connection(1)->m_hServer, 102);
}

TEST_F(ViewTest, FailedReconnectsAtStartUpAreReportedAndKeepTheirTabs) {
    fakeopc::S().refuseServers = {"Sim.One"};
    fakeopc::S().refuseGroups = {101};  // the first successful connect gets 101
    Open(TwoConnections());
    EXPECT_EQ(TakeMessageBoxes(),
              (std::vector<std::string>{"Connection Failure", "Connection Failure -- Could Not Create Group"}));
    EXPECT_EQ(window->TabCount(), 2);
    EXPECT_EQ(window->Connection(0)->m_hServer, -1);
    EXPECT_EQ(window->Connection(1)->m_hServer, -1);
    EXPECT_EQ(window->Connection(1)->m_hGroup, -1);
    EXPECT_EQ(fakeopc::CallsStartingWith("DisconnectServer"), (std::vector<std::string>{"DisconnectServer 101"}));
    EXPECT_TRUE(fakeopc::CallsStartingWith("AddItem").empty());
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Attempt Reconnect");
    EXPECT_EQ(window->RowCount(), 2);  // items stay
    // Clicking retries the selected (second) connection, which now succeeds.
    fakeopc::S().refuseGroups.clear();
    window->Click(IDC_CONNECT);
    EXPECT_EQ(window->Connection(1)->m_hServer, 102);
    EXPECT_EQ(window->Connection(0)->m_hServer, -1);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST_F(ViewTest, DisconnectRemovesAConnectionWithoutItems) {
    Open(Cfg({"FileRev = 1.00", "Number Of Connections = 1", "UpdateRate = 1000", "Deadband = 0.000000",
              "MachineName = ", "ServerName = Sim.One", "Alias = Empty", "Number Of Items = 0"}));
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Disconnect from Server");
    EXPECT_TRUE(window->ControlEnabled(IDC_ADD_ITEM));
    fakeopc::S().calls.clear();
    window->Click(IDC_CONNECT);
    EXPECT_EQ(fakeopc::S().calls, (std::vector<std::string>{"RemoveGroup 101 201", "DisconnectServer 101"}));
    EXPECT_EQ(window->TabCount(), 0);
    EXPECT_EQ(window->view->GetConnectionCount(), 0);
    EXPECT_EQ(window->ControlText(IDC_STATUS), "<<<<<< No Servers Connected >>>>>>");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Connect to OPC Server");
    EXPECT_FALSE(window->ControlEnabled(IDC_ADD_ITEM));
}

TEST_F(ViewTest, SwitchingTabsRebuildsTheListFromTheRecords) {
    Open(TwoConnections());
    DataChange(101, 301, 1.25);  // Line1, not shown
    HWND hTab = window->view->GetDlgItem(IDC_SERVER_TAB);
    TabCtrl_SetCurSel(hTab, 0);
    NMHDR hdr = {hTab, IDC_SERVER_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    ::SendMessageA(window->view->m_hWnd, WM_NOTIFY, IDC_SERVER_TAB, reinterpret_cast<LPARAM>(&hdr));
    ASSERT_EQ(window->RowCount(), 3);
    EXPECT_EQ(window->Cell(0, 0), "A.Temp");
    EXPECT_EQ(window->Cell(0, 1), "   1.2500 ");
    EXPECT_EQ(window->ControlText(IDC_STATUS), std::string(window->Connection(0)->m_strStatus));
}

TEST_F(ViewTest, SuspendAndResumeSwitchTheFlagAndTheButtons) {
    Open(TwoConnections());
    window->Click(IDC_SUSPEND);
    EXPECT_TRUE(App().m_bDdeSuspended);
    EXPECT_FALSE(window->ControlEnabled(IDC_SUSPEND));
    EXPECT_TRUE(window->ControlEnabled(IDC_RESUME));
    // Suspended: data changes still reach the items and the list.
    DataChange(102, 304, 5.0);
    EXPECT_EQ(window->Cell(0, 1), "   5.0000 ");
    window->Click(IDC_RESUME);
    EXPECT_FALSE(App().m_bDdeSuspended);
    EXPECT_TRUE(window->ControlEnabled(IDC_SUSPEND));
    EXPECT_FALSE(window->ControlEnabled(IDC_RESUME));
}

TEST_F(ViewTest, OnlyTimerOneFlushesPendingAdvises) {
    Open(TwoConnections());
    CTagItem* item = window->Connection(0)->GetItem(2);
    item->m_bAdvisePending = 1;
    ::SendMessageA(window->view->m_hWnd, WM_TIMER, 2, 0);
    EXPECT_EQ(item->m_bAdvisePending, 1);
    ::SendMessageA(window->view->m_hWnd, WM_TIMER, 1, 0);
    EXPECT_EQ(item->m_bAdvisePending, 0);
    // The view's own timer 1 runs too: a new mark is gone within about a second.
    item->m_bAdvisePending = 1;
    Pump(1300);
    EXPECT_EQ(item->m_bAdvisePending, 0);
}

TEST_F(ViewTest, F1AndTheHelpIconOpenTheSameHelp) {
    Open(TwoConnections());
    window->Click(IDC_HELP_ICON);  // STN_CLICKED, code 0
    ASSERT_EQ(App().helpCalls.size(), 1u);
    // F1 pressed in the list: the frame's accelerator makes it ID_HELP, routed to the frame.
    HWND hList = window->view->GetDlgItem(IDC_ITEM_LIST);
    ::SetFocus(hList);
    ::PostMessageA(hList, WM_KEYDOWN, VK_F1, 0x003B0001);
    Pump(50);
    ASSERT_EQ(App().helpCalls.size(), 2u);
    EXPECT_EQ(App().helpCalls[0], App().helpCalls[1]);
    // The inert menu item 65535 of the menu bar does nothing.
    ::SendMessageA(window->frame->m_hWnd, WM_COMMAND, MAKEWPARAM(ID_MENU_TITLE, 0), 0);
    EXPECT_EQ(App().helpCalls.size(), 2u);
}

TEST_F(ViewTest, TheConfigurationIsSavedWhenTheSessionEndsAndWhenTheWindowGoes) {
    Open(TwoConnections());
    std::string original = ReadFile(config);
    ASSERT_TRUE(::DeleteFileA(config.c_str()));
    ::SendMessageA(window->frame->m_hWnd, WM_ENDSESSION, FALSE, 0);  // cancelled: nothing
    EXPECT_EQ(::GetFileAttributesA(config.c_str()), INVALID_FILE_ATTRIBUTES);
    ::SendMessageA(window->frame->m_hWnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(ReadFile(config), original);  // same layout, same order

    ASSERT_TRUE(::DeleteFileA(config.c_str()));
    window->Destroy();
    EXPECT_EQ(ReadFile(config), original);
    EXPECT_EQ(App().m_pMainView, nullptr);
}
