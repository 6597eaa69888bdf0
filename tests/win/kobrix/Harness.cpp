#include "Harness.h"

#include <windows.h>

#include <algorithm>
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
    Change c = {hServer,         hGroup, hItem, VT_EMPTY, 0, std::string(), {low, high}, quality, GetCurrentThreadId(),
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

Connection::Connection(const char* progId, DWORD r, float d) : rate(r), deadband(d) {
    server = Opc().OpcConnectServer("", progId, 0);
    if (server == -1) return;
    group = Opc().OpcAddGroup(server, "Group 1", &rate, &deadband);
    Opc().OpcSetDataChangeCallback(server, RecordChange);
    Opc().OpcSetShutdownCallback(server, RecordShutdown);
}

Connection::~Connection() { Forget(); }

int Connection::Add(const char* itemId) {
    int item = Opc().OpcAddItem(server, group, itemId);
    if (item != -1) items.push_back(item);
    return item;
}

int Connection::Write(int hItem, const VARIANT& value) { return Opc().OpcWriteItem(server, group, hItem, &value, 0); }

void Connection::Forget() {
    for (int item : items) Opc().OpcRemoveItem(server, group, item);
    items.clear();
    if (group != -1) Opc().OpcRemoveGroup(server, group);
    if (server != -1) Opc().OpcDisconnectServer(server);
    server = group = -1;
}

namespace {
std::unique_ptr<Connection> g_keeper;
}  // namespace

void EnsureKeeper() {
    if (g_keeper && g_keeper->Ok()) return;
    g_keeper.reset(new Connection(kHierarchical, 1000));
    Opc().OpcSetDataChangeCallback(g_keeper->server, nullptr);  // its changes are no test's business
}

void DropKeeper() {
    if (g_keeper) g_keeper->Forget();
    g_keeper.reset();
}

std::vector<DWORD> g_serversAtStart;

std::vector<DWORD> OurServerProcesses() {
    std::vector<DWORD> ours;
    for (DWORD pid : qvtest::SimServerProcesses())
        if (std::find(g_serversAtStart.begin(), g_serversAtStart.end(), pid) == g_serversAtStart.end())
            ours.push_back(pid);
    return ours;
}

}  // namespace kbt
