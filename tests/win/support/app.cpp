#include "tests/win/support/app.h"

#include <commctrl.h>

#include "tools/qvdde_client.h"

namespace qvtest {
namespace {

HWND Descendant(HWND top, int id) {
    std::pair<int, HWND> s{id, nullptr};
    EnumChildWindows(  // walks all descendants
        top,
        [](HWND h, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<std::pair<int, HWND>*>(lp);
            return GetDlgCtrlID(h) == s->first ? (s->second = h, FALSE) : TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.second;
}

struct TopSearch {
    DWORD pid;
    const std::function<bool(HWND)>& match;
    bool visibleOnly;
    std::vector<HWND> found;
};

std::string ClassOf(HWND h) {
    char cls[64] = {};
    GetClassNameA(h, cls, sizeof cls);
    return cls;
}

// Top-level windows of the process (visible ones unless told otherwise) that satisfy `match`, in z-order.
std::vector<HWND> TopWindows(DWORD pid, const std::function<bool(HWND)>& match, bool visibleOnly = true) {
    TopSearch s{pid, match, visibleOnly, {}};
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<TopSearch*>(lp);
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == s->pid && (!s->visibleOnly || IsWindowVisible(h)) && s->match(h)) s->found.push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

}  // namespace

std::string TextOf(HWND h) {
    if (h == nullptr) return {};
    char buf[1024];
    DWORD_PTR n = 0;
    // WM_GETTEXT is marshalled across processes by the system.
    if (!SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &n))
        return {};
    return std::string(buf, n < sizeof buf ? n : sizeof buf - 1);
}

std::vector<HWND> Dialogs(DWORD pid) {
    return TopWindows(pid, [](HWND h) { return ClassOf(h) == "#32770"; });
}

HWND FindTopWindow(DWORD pid, const std::string& caption, const char* className) {
    auto found = TopWindows(pid, [&](HWND h) { return ClassOf(h) == className && TextOf(h) == caption; });
    return found.empty() ? nullptr : found.front();
}

HWND WaitForDialog(DWORD pid, const std::string& caption, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(pid, caption)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitGone(HWND h, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(h) || !IsWindowVisible(h); }, timeoutMs);
}

std::string MessageBoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

RemoteBuffer::RemoteBuffer(HANDLE process, size_t size)
    : process_(process), p_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}

RemoteBuffer::~RemoteBuffer() {
    if (p_) VirtualFreeEx(process_, p_, 0, MEM_RELEASE);
}

bool RemoteBuffer::Write(size_t offset, const void* data, size_t n) const {
    SIZE_T done = 0;
    return p_ && WriteProcessMemory(process_, get() + offset, data, n, &done) && done == n;
}

bool RemoteBuffer::Read(size_t offset, void* data, size_t n) const {
    SIZE_T done = 0;
    return p_ && ReadProcessMemory(process_, get() + offset, data, n, &done) && done == n;
}

std::string FindMessageBox(DWORD pid) {
    std::vector<HWND> boxes = Dialogs(pid);
    if (boxes.empty()) return {};
    return TextOf(boxes.front()) + ": " + MessageBoxText(boxes.front());
}

QuorvaneApp::~QuorvaneApp() { process_.Terminate(); }

::testing::AssertionResult QuorvaneApp::Start(const std::string& configText, DWORD timeoutMs) {
    std::string why;
    if (!folder_.Prepare(&why)) return ::testing::AssertionFailure() << why;
    if (!configText.empty() && !folder_.WriteConfig(configText))
        return ::testing::AssertionFailure() << "cannot write " << folder_.configPath();
    if (!process_.Start(QuoteArg(folder_.exe()), folder_.path(), false, &why))
        return ::testing::AssertionFailure() << why;
    if (FindMainWindow(timeoutMs)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no main window titled Quorvane within " << timeoutMs << " ms"
                                         << (process_.running() ? "" : "; the process has ended")
                                         << "; message box: " << FindMessageBox(pid());
}

bool QuorvaneApp::FindMainWindow(DWORD timeoutMs) {
    return WaitUntil(
               [&] {
                   // The main window carries the title and holds the form with its list.
                   auto found = TopWindows(
                       pid(),
                       [](HWND h) {
                           return ClassOf(h) != "#32770" && TextOf(h).find("Quorvane") != std::string::npos &&
                                  Descendant(h, IDC_ITEM_LIST) != nullptr;
                       },
                       false);  // still hidden while a start-up box is up
                   main_ = found.empty() ? nullptr : found.front();
                   return main_ != nullptr || !process_.running();
               },
               timeoutMs) &&
           main_ != nullptr;
}

::testing::AssertionResult QuorvaneApp::WaitForTopic(const std::string& topic, DWORD timeoutMs) {
    if (WaitUntil([&] { return HasTopic(topic) || !process_.running(); }, timeoutMs) && process_.running())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "service Quorvane did not accept topic " << topic
                                         << "; message box: " << FindMessageBox(pid());
}

bool QuorvaneApp::HasTopic(const std::string& topic) {
    qvdde::DdeClient client;
    UINT err = 0;
    return client.Connect("Quorvane", topic, &err) != nullptr;
}

::testing::AssertionResult QuorvaneApp::Close(DWORD timeoutMs) {
    if (!process_.running()) return ::testing::AssertionFailure() << "the program had already ended";
    PostMessageA(main_, WM_CLOSE, 0, 0);
    if (process_.Wait(timeoutMs)) return ::testing::AssertionSuccess();
    const std::string box = FindMessageBox(pid());
    process_.Terminate();
    return ::testing::AssertionFailure() << "the program did not end within " << timeoutMs
                                         << " ms after WM_CLOSE; message box: " << box;
}

HWND QuorvaneApp::Control(int id) const { return main_ ? Descendant(main_, id) : nullptr; }

bool QuorvaneApp::Click(int id, DWORD timeoutMs) const {
    HWND h = Control(id);
    DWORD_PTR r = 0;
    return h && SendMessageTimeoutA(h, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &r);
}

std::string QuorvaneApp::Text(int id) const { return TextOf(Control(id)); }

bool QuorvaneApp::Enabled(int id) const {
    HWND h = Control(id);
    return h && IsWindowEnabled(h);
}

int QuorvaneApp::TabCount() const { return TabAnswer(TCM_GETITEMCOUNT, -1); }
int QuorvaneApp::SelectedTab() const { return TabAnswer(TCM_GETCURSEL, -2); }

int QuorvaneApp::TabAnswer(UINT msg, int failed) const {
    HWND h = Control(IDC_SERVER_TAB);
    DWORD_PTR r = 0;
    return h && SendMessageTimeoutA(h, msg, 0, 0, SMTO_ABORTIFHUNG, 5000, &r) ? int(LONG_PTR(r)) : failed;
}

std::vector<std::vector<std::string>> QuorvaneApp::ListRows(int columns) const {
    std::vector<std::vector<std::string>> rows;
    HWND list = Control(IDC_ITEM_LIST);
    DWORD_PTR count = 0;
    if (!list || !SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return rows;
    for (int r = 0; r < int(count); ++r) {
        rows.emplace_back();
        for (LVITEMA item{}; item.iSubItem < columns; ++item.iSubItem)
            rows.back().push_back(RemoteItemText(process_.handle(), list, LVM_GETITEMTEXTA, r, item, 5000));
    }
    return rows;
}

}  // namespace qvtest
