// The main view as the program builds it: start-up from a configuration file, the list
// and the status line under bursts of data changes, the shutdown message (and the dialog
// manager's DM_SETDEFID, which has the same number), failed reconnects, tab switching,
// the advise timer, help routing, the label editor's keys, and a cancelled session end.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "opc/Notifications.h"
#include "resource.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"

using namespace apptest;

namespace {

// Two connections: Line1 (3 items, 301-303) becomes server 101, Line2 (304, 305) server 102.
std::string TwoConnections() {
    return Cfg({"FileRev = 1.00", "Number Of Connections = 2", "UpdateRate = 500", "Deadband = 0.000000",
                "MachineName = ", "ServerName = Sim.One", "Alias = Line1", "Number Of Items = 3", "TagName = A.Temp",
                "TagName = A.Level", "TagName = A.Count", "UpdateRate = 1000", "Deadband = 2.500000",
                "MachineName = ", "ServerName = Sim.Two", "Alias = Line2", "Number Of Items = 2",
                "TagName = B.Pressure", "TagName = B.Running"});
}

class ViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        fakeopc::Install();
        TakeMessageBoxes();
        Gate().Suspend(FALSE);
        App().helpCalls.clear();
        config = dir.File("quorvane.cfg");
    }
    void TearDown() override {
        window.reset();
        OpcSetLibraryTable(nullptr);
    }
    void Open(const std::string& cfgText) {
        ASSERT_TRUE(qvtest::WriteFileBytes(config, cfgText));
        window.reset(new MainWindow(config));
        ASSERT_NE(window->view, nullptr);
    }
    void DataChange(int hServer, int hItem, double value) {
        VARIANT v = R8(value);
        OPCDATACHANGEPROC proc = fakeopc::DataChangeProcFor(hServer);
        ASSERT_NE(proc, nullptr);
        proc(hServer, 0, hItem, &v, 0x2A3B4C5D, 0x01DB0000, 192);
    }
    bool WaitCell(int row, int column, const std::string& text) {
        return Pump(3000, [&] { return window->Cell(row, column) == text; });
    }

    qvtest::TempFolder dir;
    std::string config;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

TEST_F(ViewTest, StartUpReconnectsInOrderSelectsTheLastAndShowsItsStatus) {
    Open(TwoConnections());
    EXPECT_EQ(window->TabCount(), 2);
    EXPECT_EQ(TabCtrl_GetCurSel(window->view->GetDlgItem(IDC_SERVER_TAB)), 1);
    ASSERT_EQ(window->RowCount(), 2);
    EXPECT_EQ(window->Cell(1, 0), "B.Running");
    EXPECT_EQ(window->Cell(0, 2), "Bad");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Connect to OPC Server");  // connected, with items
    EXPECT_EQ(window->ControlText(IDC_STATUS), std::string(window->Connection(1)->StatusText()));
    std::vector<std::string> expected = {"EnumerateServers 1 ",           "ConnectServer |Sim.One",
                                         "AddGroup 101 Group 1 500 0.0",  "SetDataChangeCallback 101",
                                         "SetShutdownCallback 101",       "SetLibraryCallback",
                                         "AddItem 101 201 A.Temp",        "AddItem 101 201 A.Level",
                                         "AddItem 101 201 A.Count",       "RefreshGroup 101 201 0",
                                         "EnumerateServers 1 ",           "ConnectServer |Sim.Two",
                                         "AddGroup 102 Group 1 1000 2.5", "SetDataChangeCallback 102",
                                         "SetShutdownCallback 102",       "SetLibraryCallback",
                                         "AddItem 102 202 B.Pressure",    "AddItem 102 202 B.Running",
                                         "RefreshGroup 102 202 0"};
    EXPECT_EQ(fakeopc::S().calls, expected);
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

// A server may answer the start-up refresh while the call still waits (COM lets its
// callback in): those values are kept, or an item that never changes stays empty.
TEST_F(ViewTest, ValuesThatComeDuringTheStartUpRefreshAreKept) {
    fakeopc::S().onRefresh = [this](int hServer, int, int) { DataChange(hServer, hServer == 101 ? 301 : 304, 7); };
    Open(TwoConnections());
    fakeopc::S().onRefresh = nullptr;
    for (int i : {0, 1}) EXPECT_EQ(window->Connection(i)->GetItem(0)->m_vValue.vt, VT_R8) << "connection " << i;
}

TEST_F(ViewTest, BurstsAreDrawnTogetherWithTheLastValueAndOnlyOnTheirTab) {
    Open(TwoConnections());
    window->view->SetDlgItemText(IDC_STATUS, "marker");
    for (int i = 1; i <= 50; ++i) DataChange(102, 305, i);
    DataChange(101, 302, 9.5);                             // Line1's tab is not selected: no row of it is drawn
    EXPECT_EQ(window->ControlText(IDC_STATUS), "marker");  // nothing drawn inside the burst
    EXPECT_EQ(window->Cell(1, 1), "  50.0000 ");           // a cell is read from its item
    ASSERT_TRUE(
        Pump(3000, [&] { return window->ControlText(IDC_STATUS).find("    Last Updated: ") != std::string::npos; }));
    EXPECT_EQ(window->Cell(1, 2), "Good");
    EXPECT_EQ(window->Cell(0, 1), " unknown type:0 ");

    // Switching tabs lists the other connection's stored values at once.
    HWND hTab = window->view->GetDlgItem(IDC_SERVER_TAB);
    TabCtrl_SetCurSel(hTab, 0);
    NMHDR hdr = {hTab, IDC_SERVER_TAB, static_cast<UINT>(TCN_SELCHANGE)};
    ::SendMessageA(window->view->m_hWnd, WM_NOTIFY, IDC_SERVER_TAB, reinterpret_cast<LPARAM>(&hdr));
    ASSERT_EQ(window->RowCount(), 3);
    EXPECT_EQ(window->Cell(1, 1), "   9.5000 ");
    EXPECT_EQ(window->ControlText(IDC_STATUS), std::string(window->Connection(0)->StatusText()));
}

TEST_F(ViewTest, ShutdownMessagesAreTakenOnlyWithAServerHandle) {
    Open(TwoConnections());
    fakeopc::S().calls.clear();
    HWND hView = window->view->m_hWnd;
    // DM_SETDEFID has the same number: the dialog manager gets it, no connection goes.
    ::SendMessageA(hView, DM_SETDEFID, IDC_CONNECT, 0);
    EXPECT_TRUE(fakeopc::S().calls.empty());
    EXPECT_EQ(LOWORD(::SendMessageA(hView, DM_GETDEFID, 0, 0)), IDC_CONNECT);

    // The callback only posts; the loop takes the connection down.
    OpcLibraryProc(KOBRIX_NOTE_SERVER_LOST, 101);
    EXPECT_TRUE(OpcShutdownProc(101));
    EXPECT_TRUE(fakeopc::S().calls.empty());
    ASSERT_TRUE(Pump(3000, [&] { return window->Connection(0)->m_hServer == -1; }));
    EXPECT_STREQ(window->Connection(0)->StatusText(), "<<<<<<< Connection to Server Lost >>>>>>>>>");
    EXPECT_EQ(window->Connection(1)->m_hServer, 102);
    ::SendMessageA(hView, WM_SERVER_SHUTDOWN, 0, 102);  // a request, not a death
    EXPECT_EQ(window->ControlText(IDC_STATUS), "<<<<<<< Server Requested Disconnect >>>>>>>>>");
    EXPECT_EQ(window->ControlText(IDC_CONNECT), "Attempt Reconnect");
}

TEST_F(ViewTest, FailedReconnectsAtStartUpAreReportedAndKeepTheirTabs) {
    fakeopc::S().refuseServers = {"Sim.One"};
    fakeopc::S().refuseGroups = {101};  // the first successful connect gets 101
    Open(TwoConnections());
    EXPECT_EQ(TakeMessageBoxes(),
              (std::vector<std::string>{"Connection Failure", "Connection Failure -- Could Not Create Group"}));
    EXPECT_EQ(window->TabCount(), 2);
    EXPECT_EQ(window->Connection(1)->m_hServer, -1);
    EXPECT_EQ(window->Connection(1)->m_hGroup, -1);
    EXPECT_EQ(fakeopc::CallsStartingWith("DisconnectServer"), (std::vector<std::string>{"DisconnectServer 101"}));
    EXPECT_TRUE(fakeopc::CallsStartingWith("AddItem").empty());
    EXPECT_EQ(window->RowCount(), 2);  // items stay
    // Clicking retries the selected (second) connection: every item gets a handle.
    fakeopc::S().refuseGroups.clear();
    window->Click(IDC_CONNECT);
    EXPECT_EQ(window->Connection(1)->m_hServer, 102);
    EXPECT_EQ(window->Connection(1)->GetItem(1)->m_hItem, 302);
    EXPECT_EQ(window->Connection(0)->m_hServer, -1);
    DataChange(102, 302, 4);
    EXPECT_TRUE(WaitCell(1, 1, "   4.0000 "));
}

TEST_F(ViewTest, TimerOneFlushesPendingAdvisesAndTheHelpOpensFromIconAndF1) {
    Open(TwoConnections());
    CTagItem* item = window->Connection(0)->GetItem(2);
    std::string key;  // a client's new link waits for the flush
    ASSERT_TRUE(
        window->view->Connections().StartLink(Hsz(window->Connection(0)->m_strAlias), Hsz(item->m_strTagName), &key));
    ::SendMessageA(window->view->m_hWnd, WM_TIMER, 3, 0);
    EXPECT_EQ(item->m_bAdvisePending, 1);
    ::SendMessageA(window->view->m_hWnd, WM_TIMER, 1, 0);
    EXPECT_EQ(item->m_bAdvisePending, 0);
    window->view->Connections().EndLink(key);

    window->Click(IDC_HELP_ICON);  // STN_CLICKED, code 0
    HWND hList = window->view->GetDlgItem(IDC_ITEM_LIST);
    ::SetFocus(hList);
    ::PostMessageA(hList, WM_KEYDOWN, VK_F1, 0x003B0001);
    ASSERT_TRUE(Pump(3000, [] { return App().helpCalls.size() == 2; }));
    EXPECT_EQ(App().helpCalls[0], App().helpCalls[1]);
}

TEST_F(ViewTest, CutKeysInTheLabelEditorNeverDeleteTheItem) {
    Open(TwoConnections());
    HWND hList = window->view->GetDlgItem(IDC_ITEM_LIST);
    window->view->Arm(0);  // as a click on row 0 does
    ::SetFocus(hList);
    HWND hEdit = ListView_EditLabel(hList, 0);
    ASSERT_NE(hEdit, nullptr);
    BYTE keys[256] = {}, held[256] = {};
    ::GetKeyboardState(keys);
    ::memcpy(held, keys, sizeof held);
    held[VK_CONTROL] = 0x80;
    ::SetKeyboardState(held);  // Ctrl held while X goes to the editor
    ::PostMessageA(hEdit, WM_KEYDOWN, 'X', 0x002D0001);
    Pump(200);
    ::SetKeyboardState(keys);
    EXPECT_EQ(window->Connection(1)->GetItemCount(), 2);
    ::SendMessageA(hEdit, WM_KEYDOWN, VK_ESCAPE, 0);
    // Outside the editor the same command deletes the clicked row.
    ::SendMessageA(window->frame->m_hWnd, WM_COMMAND, ID_EDIT_CUT, 0);
    EXPECT_EQ(window->Connection(1)->GetItemCount(), 1);
    EXPECT_EQ(window->RowCount(), 1);
}

// The saves themselves (session end, close): tests/win/road/close_test.cpp.
TEST_F(ViewTest, ACancelledSessionEndSavesNothingAndTheViewGoesWithItsWindow) {
    Open(TwoConnections());
    ASSERT_TRUE(::DeleteFileA(config.c_str()));
    ::SendMessageA(window->frame->m_hWnd, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(::GetFileAttributesA(config.c_str()), INVALID_FILE_ATTRIBUTES);
    window->Destroy();
    EXPECT_EQ(App().m_pMainView, nullptr);
}
