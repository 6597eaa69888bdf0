#include "tests/win/road/road_env.h"

#include "tests/win/support/opc.h"
#include "tests/win/support/tools.h"

namespace road {

::testing::AssertionResult Program::Launch(const std::vector<qvtest::ConfigConnection>& connections) {
    // A server still on its way out from the previous test would take this program's
    // connections with it: start once it is gone.
    WaitForNoSimServer(15000);
    ::testing::AssertionResult started = Start(connections.empty() ? std::string() : qvtest::ConfigText(connections));
    if (!started) return started;
    // The window shows up before the stored connections are all re-established.
    const int tabs = int(connections.size());
    if (WaitUntil([&] { return TabCount() == tabs && (tabs == 0 || SelectedTab() == tabs - 1); }, 30000))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << TabCount() << " of " << tabs
                                         << " tabs; message box: " << AnswerMessageBox(100);
}

bool Program::PressForm(int id) {
    HWND button = Control(id);
    if (button == nullptr || !IsWindowEnabled(button)) return false;
    return PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

HWND Program::OpenConnectDialog() { return PressForm(IDC_CONNECT) ? WaitForDialog(pid(), kConnectCaption) : nullptr; }

::testing::AssertionResult Program::ConnectThroughDialogs(const std::string& server, const std::string& alias) {
    const int tabsBefore = TabCount();
    HWND dlg = OpenConnectDialog();
    if (dlg == nullptr) return ::testing::AssertionFailure() << "no connect dialog";
    std::vector<std::string> servers = ComboItems(GetDlgItem(dlg, IDC_SERVER_LIST));
    int index = -1;
    for (size_t i = 0; i < servers.size(); ++i)
        if (servers[i] == server) index = int(i);
    if (index < 0 || !ChooseComboItem(dlg, IDC_SERVER_LIST, index) || !Press(dlg, IDOK))
        return ::testing::AssertionFailure() << server << " not in the server list";
    HWND params = WaitForDialog(pid(), kParamsCaption);
    if (params == nullptr)
        return ::testing::AssertionFailure() << "no parameters dialog; message box: " << AnswerMessageBox(500);
    SetTextOf(GetDlgItem(params, IDC_TEXT_FIELD), alias);
    Press(params, IDOK);
    if (!WaitGone(params) || !WaitUntil([&] { return TabCount() == tabsBefore + 1; }, 10000))
        return ::testing::AssertionFailure() << "no new tab";
    return ::testing::AssertionSuccess();
}

HWND Program::OpenBrowser() { return PressForm(IDC_ADD_ITEM) ? WaitForDialog(pid(), kBrowserCaption, 20000) : nullptr; }

std::string Program::AnswerMessageBox(DWORD timeoutMs) {
    HWND box = WaitForDialog(pid(), kBoxCaption, timeoutMs);
    if (box == nullptr) return {};
    std::string text = MessageBoxText(box);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitGone(box);
    return text;
}

std::vector<std::string> Program::RowNames() {
    std::vector<std::string> names;
    for (const auto& row : ListRows(1)) names.push_back(row.empty() ? std::string() : row[0]);
    return names;
}

bool Program::WaitForValues(DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            auto rows = ListRows(2);
            for (const auto& r : rows)
                if (r.size() < 2 || r[1].empty()) return false;
            return !rows.empty();
        },
        timeoutMs);
}

bool WaitForNoSimServer(DWORD timeoutMs) {
    return WaitUntil([] { return qvtest::SimServerProcesses().empty(); }, timeoutMs);
}

qvtest::ConfigConnection Connection(const std::string& alias, const std::vector<std::string>& items,
                                    const std::string& server) {
    qvtest::ConfigConnection c;
    c.alias = alias;
    c.server = server;
    c.items = items;
    return c;
}

}  // namespace road
