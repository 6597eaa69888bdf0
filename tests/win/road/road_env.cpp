#include "tests/win/road/road_env.h"

#include <algorithm>

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
    return button != nullptr && Press(GetParent(button), id);
}

HWND Program::OpenConnectDialog() { return PressForm(IDC_CONNECT) ? WaitForDialog(pid(), kConnectCaption) : nullptr; }

HWND Program::OpenParams(const std::string& server) {
    HWND dlg = OpenConnectDialog();
    if (dlg == nullptr) return nullptr;
    std::vector<std::string> servers = ComboItems(GetDlgItem(dlg, IDC_SERVER_LIST));
    int index = int(std::find(servers.begin(), servers.end(), server) - servers.begin());
    if (index == int(servers.size()) || !ChooseComboItem(dlg, IDC_SERVER_LIST, index) || !Press(dlg, IDOK))
        return nullptr;
    return WaitForDialog(pid(), kParamsCaption);
}

::testing::AssertionResult Program::ConnectThroughDialogs(const std::string& server, const std::string& alias) {
    const int tabsBefore = TabCount();
    HWND params = OpenParams(server);
    if (params == nullptr)
        return ::testing::AssertionFailure() << "no parameters dialog; message box: " << AnswerMessageBox(500);
    Fill(params, {{IDC_TEXT_FIELD, alias}});
    Press(params, IDOK);
    if (!WaitGone(params) || !WaitUntil([&] { return TabCount() == tabsBefore + 1; }, 10000))
        return ::testing::AssertionFailure() << "no new tab";
    return ::testing::AssertionSuccess();
}

HWND Program::OpenBrowser() {
    if (!WaitUntil([&] { return Enabled(IDC_ADD_ITEM); }, 10000) || !PressForm(IDC_ADD_ITEM)) return nullptr;
    return WaitForDialog(pid(), kBrowserCaption, 20000);
}

bool Program::ClickTab(int index) {
    HWND tab = Control(IDC_SERVER_TAB);
    std::optional<RECT> rc = TabRect(processHandle(), tab, index);
    if (!rc) return false;
    road::Click(tab, (rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
    return WaitUntil([&] { return SelectedTab() == index; }, 5000);
}

bool Program::ClickRow(int row, bool right) {
    HWND list = Control(IDC_ITEM_LIST);
    std::optional<RECT> rc = ListRowRect(processHandle(), list, row);
    if (!rc) return false;
    road::Click(list, rc->left + 20, (rc->top + rc->bottom) / 2, right);
    return true;
}

bool Program::Settle() {
    for (auto [button, other] : {std::pair{IDC_SUSPEND, IDC_RESUME}, std::pair{IDC_RESUME, IDC_SUSPEND}}) {
        HWND h = Control(button);
        RECT rc;
        if (h == nullptr || !GetClientRect(h, &rc)) return false;
        road::Click(h, rc.right / 2, rc.bottom / 2);
        if (!WaitUntil([&] { return Enabled(other); }, 10000)) return false;
    }
    return true;
}

bool Program::Cut(bool shiftDelete) {
    KeyChord({WORD(shiftDelete ? VK_SHIFT : VK_CONTROL)}, shiftDelete ? VK_DELETE : 'X');
    return Settle();
}

bool Program::RowsBecome(const std::vector<std::string>& want, DWORD timeoutMs) {
    return WaitUntil([&] { return RowNames() == want; }, timeoutMs);
}

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

void Fill(HWND dlg, const std::vector<std::pair<int, std::string>>& fields) {
    for (const auto& [id, text] : fields) SetTextOf(GetDlgItem(dlg, id), text);
}

bool ClipboardBecomes(const std::string& want) {
    return WaitUntil([&] { return ClipboardText() == want; }, 5000);
}

bool WaitForNoSimServer(DWORD timeoutMs) {
    return WaitUntil([] { return qvtest::SimServerProcesses().empty(); }, timeoutMs);
}

}  // namespace road
