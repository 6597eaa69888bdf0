#include "tests/win/road/road_env.h"

#include <tlhelp32.h>

#include <cstring>

#include "tests/win/support/tools.h"

namespace road {
namespace {

bool SimServerRunning() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 pe{};
    pe.dwSize = sizeof pe;
    bool found = false;
    for (BOOL ok = Process32First(snap, &pe); ok && !found; ok = Process32Next(snap, &pe))
        found = _stricmp(pe.szExeFile, "QuorvaneSim.exe") == 0;
    CloseHandle(snap);
    return found;
}

}  // namespace

bool Program::Launch(const std::vector<qvtest::ConfigConnection>& connections, std::string* why) {
    // A server still on its way out from the previous test would take this program's
    // connections with it: start once it is gone.
    WaitForNoSimServer(15000);
    if (!Start(connections.empty() ? std::string() : qvtest::ConfigText(connections), why)) return false;
    // The window shows up before the stored connections are all re-established.
    const int tabs = int(connections.size());
    if (WaitUntil([&] { return TabCount() == tabs && (tabs == 0 || SelectedTab() == tabs - 1); }, 30000)) return true;
    *why = std::to_string(TabCount()) + " of " + std::to_string(tabs) + " tabs; message box: " + AnswerMessageBox(100);
    return false;
}

bool Program::PressForm(int id) {
    HWND button = Control(id);
    if (button == nullptr || !IsWindowEnabled(button)) return false;
    return PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

HWND Program::OpenConnectDialog(std::string* why) {
    if (!PressForm(qvtest::kConnect)) {
        *why = "button 1004 cannot be pressed";
        return nullptr;
    }
    HWND dlg = WaitForDialog(pid(), kConnectCaption);
    if (dlg == nullptr) *why = "no connect dialog";
    return dlg;
}

bool Program::ConnectThroughDialogs(const std::string& server, const std::string& alias, std::string* why) {
    const int tabsBefore = TabCount();
    HWND dlg = OpenConnectDialog(why);
    if (dlg == nullptr) return false;
    std::vector<std::string> servers = ComboItems(GetDlgItem(dlg, 1011));
    int index = -1;
    for (size_t i = 0; i < servers.size(); ++i)
        if (servers[i] == server) index = int(i);
    if (index < 0 || !ChooseComboItem(dlg, 1011, index) || !Press(dlg, IDOK)) {
        *why = server + " not in the server list";
        return false;
    }
    HWND params = WaitForDialog(pid(), kParamsCaption);
    if (params == nullptr) {
        *why = "no parameters dialog; message box: " + AnswerMessageBox(500);
        return false;
    }
    SetTextOf(GetDlgItem(params, 1013), alias);
    Press(params, IDOK);
    if (!WaitGone(params) || !WaitUntil([&] { return TabCount() == tabsBefore + 1; }, 10000)) {
        *why = "no new tab";
        return false;
    }
    return true;
}

HWND Program::OpenBrowser(std::string* why) {
    if (!PressForm(qvtest::kAddItem)) {
        *why = "button 1005 cannot be pressed";
        return nullptr;
    }
    HWND dlg = WaitForDialog(pid(), kBrowserCaption, 20000);
    if (dlg == nullptr) *why = "no browser dialog";
    return dlg;
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

bool WaitForNoSimServer(DWORD timeoutMs) {
    return WaitUntil([] { return !SimServerRunning(); }, timeoutMs);
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
