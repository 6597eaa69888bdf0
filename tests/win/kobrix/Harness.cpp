#include "Harness.h"

#include <tlhelp32.h>
#include <windows.h>
#include <winsvc.h>

#include <algorithm>
#include <map>
#include <memory>

namespace kbt {

std::vector<Change> g_changes;
std::vector<int> g_shutdowns;
DWORD g_shutdownThread = 0;

kobrix::Binding& Opc() {
    static kobrix::Binding binding;
    return binding;
}

void __stdcall RecordChange(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD low, DWORD high,
                            DWORD quality) {
    Change c = {hServer, hGroup, hItem, VT_EMPTY, 0, std::string(), {low, high}, quality, GetCurrentThreadId(),
                GetTickCount64()};
    if (value) {
        c.vt = value->vt;
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(VariantChangeType(&v, const_cast<VARIANT*>(value), 0, VT_R8))) c.number = v.dblVal;
        VariantClear(&v);
        if (SUCCEEDED(VariantChangeType(&v, const_cast<VARIANT*>(value), VARIANT_ALPHABOOL, VT_BSTR)) && v.bstrVal) {
            for (const wchar_t* p = v.bstrVal; *p; ++p) c.text.push_back(*p < 128 ? static_cast<char>(*p) : '?');
        }
        VariantClear(&v);
    }
    g_changes.push_back(c);
}

BOOL __stdcall RecordShutdown(int hServer) {
    g_shutdowns.push_back(hServer);
    g_shutdownThread = GetCurrentThreadId();
    return TRUE;
}

std::vector<Change> ChangesOf(int hItem) {
    std::vector<Change> out;
    for (const Change& c : g_changes)
        if (c.item == hItem) out.push_back(c);
    return out;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done && done()) return true;
        ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        // Wakes for messages, and at least every 20 ms to look at the condition again.
        DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20));
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void Pump(DWORD ms) { PumpUntil(nullptr, ms); }

Connection::Connection(const char* progId, DWORD r, float d) : rate(r), deadband(d) {
    server = Opc().OpcConnectServer("", progId, 0);
    if (server == -1) return;
    group = Opc().OpcAddGroup(server, "Group 1", &rate, &deadband);
    Opc().OpcSetDataChangeCallback(server, RecordChange);
    Opc().OpcSetShutdownCallback(server, RecordShutdown);
}

Connection::~Connection() {
    for (int item : items) Opc().OpcRemoveItem(server, group, item);
    if (group != -1) Opc().OpcRemoveGroup(server, group);
    if (server != -1) Opc().OpcDisconnectServer(server);
}

int Connection::Add(const char* itemId) {
    int item = Opc().OpcAddItem(server, group, itemId);
    if (item != -1) items.push_back(item);
    return item;
}

int Connection::Write(int hItem, const VARIANT& value) { return Opc().OpcWriteItem(server, group, hItem, &value, 0); }

void Connection::Forget() {
    // The library keeps its records until told; tear them down without expecting answers.
    for (int item : items) Opc().OpcRemoveItem(server, group, item);
    items.clear();
    if (group != -1) Opc().OpcRemoveGroup(server, group);
    if (server != -1) Opc().OpcDisconnectServer(server);
    server = group = -1;
}

namespace {
std::unique_ptr<Connection> g_keeper;
std::map<std::string, int> g_controlItems;  // control tag -> item handle in the keeper
// The control tags, added once to the keeper's group: while the server refuses groups or
// items, these are the only ways left to reach them.
const char* const kControls[] = {"Control.RefuseGroups", "Control.RefuseItems", "Control.RefuseWrites",
                                 "Control.BigBranchSize"};
}  // namespace

void EnsureKeeper() {
    if (g_keeper && g_keeper->Ok()) return;
    g_keeper.reset(new Connection(kHierarchical, 1000));
    Opc().OpcSetDataChangeCallback(g_keeper->server, nullptr);  // its changes are no test's business
    g_controlItems.clear();
    for (const char* id : kControls) g_controlItems[id] = g_keeper->Add(id);
}

void DropKeeper() {
    if (g_keeper) g_keeper->Forget();
    g_keeper.reset();
    g_controlItems.clear();
}

bool WriteTag(const char* itemId, const VARIANT& value) {
    EnsureKeeper();
    auto it = g_controlItems.find(itemId);
    return it != g_controlItems.end() && it->second != -1 && g_keeper->Write(it->second, value) != 0;
}

int RunServerProgram(const wchar_t* arguments) {
    std::string exe = kobrix::Binding::BesideProgram("QuorvaneSim.exe");
    std::wstring command = L"\"" + std::wstring(exe.begin(), exe.end()) + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

TagReset::~TagReset() { WriteTag(id_.c_str(), value_); }

VARIANT Bool(bool b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT I4(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT R8(double value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

namespace {
// A process object outlives its process while handles to it stay open, and the snapshot
// lists it; only a live one counts.
bool Running(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}
}  // namespace

std::vector<DWORD> ServerProcesses() {
    std::vector<DWORD> pids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry))
        if (_wcsicmp(entry.szExeFile, L"QuorvaneSim.exe") == 0 && Running(entry.th32ProcessID))
            pids.push_back(entry.th32ProcessID);
    CloseHandle(snap);
    return pids;
}

std::vector<DWORD> g_serversAtStart;

std::vector<DWORD> OurServerProcesses() {
    std::vector<DWORD> ours;
    for (DWORD pid : ServerProcesses())
        if (std::find(g_serversAtStart.begin(), g_serversAtStart.end(), pid) == g_serversAtStart.end())
            ours.push_back(pid);
    return ours;
}

bool Kill(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    bool gone = TerminateProcess(process, 9) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

namespace {
struct ServiceHandle {
    explicit ServiceHandle(SC_HANDLE h) : handle(h) {}
    ~ServiceHandle() {
        if (handle) CloseServiceHandle(handle);
    }
    SC_HANDLE handle;
};
}  // namespace

bool RestartRpcSsUnderWine() {
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return true;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager.handle) return false;
    ServiceHandle rpcss(OpenServiceW(manager.handle, L"RpcSs", SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!rpcss.handle) return false;
    SERVICE_STATUS status;
    ControlService(rpcss.handle, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 500; ++i) {
        SERVICE_STATUS_PROCESS now;
        DWORD needed = 0;
        if (!QueryServiceStatusEx(rpcss.handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&now), sizeof(now),
                                  &needed))
            return false;
        if (now.dwCurrentState == SERVICE_STOPPED) return true;
        Sleep(10);
    }
    return false;
}

}  // namespace kbt
