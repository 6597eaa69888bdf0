#include "tests/win/app/fake_opc.h"

#include <cstdarg>
#include <cstdio>

namespace fakeopc {
namespace {

State g_state;

void Log(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    g_state.calls.push_back(line);
}

int __stdcall EnumerateServers(int selector, const char* machine) {
    Log("EnumerateServers %d %s", selector, machine);
    return 1;
}
int __stdcall ConnectServer(const char* machine, const char* server, int) {
    Log("ConnectServer %s|%s", machine, server);
    return g_state.refuseServers.count(server) ? -1 : g_state.nextServer++;
}
void __stdcall DisconnectServer(int hServer) { Log("DisconnectServer %d", hServer); }
int __stdcall AddGroup(int hServer, const char* name, DWORD* rate, float* deadband) {
    Log("AddGroup %d %s %lu %.1f", hServer, name, static_cast<unsigned long>(*rate), static_cast<double>(*deadband));
    return g_state.refuseGroups.count(hServer) ? -1 : g_state.nextGroup++;
}
void __stdcall RemoveGroup(int hServer, int hGroup) { Log("RemoveGroup %d %d", hServer, hGroup); }
int __stdcall AddItem(int hServer, int hGroup, const char* id) {
    Log("AddItem %d %d %s", hServer, hGroup, id);
    return g_state.nextItem++;
}
void __stdcall RemoveItem(int hServer, int hGroup, int hItem) { Log("RemoveItem %d %d %d", hServer, hGroup, hItem); }
void __stdcall RefreshGroup(int hServer, int hGroup, int mode) { Log("RefreshGroup %d %d %d", hServer, hGroup, mode); }
int __stdcall WriteItem(int hServer, int hGroup, int hItem, const VARIANT* value, int) {
    Log("WriteItem %d %d %d vt=%d", hServer, hGroup, hItem, value != nullptr ? value->vt : -1);
    if (g_state.onWrite) g_state.onWrite(hServer, hGroup, hItem, value);
    return g_state.writeResult;
}
void __stdcall SetDataChangeCallback(int hServer, OPCDATACHANGEPROC proc) {
    Log("SetDataChangeCallback %d", hServer);
    g_state.dataChangeProcs.emplace_back(hServer, proc);
}
void __stdcall SetShutdownCallback(int hServer, OPCSHUTDOWNPROC) { Log("SetShutdownCallback %d", hServer); }
void __stdcall SetLibraryCallback(OPCLIBRARYPROC) { Log("SetLibraryCallback"); }

// The browse operations keep the failing answers: no test here browses.
OpcLibraryTable MakeTable() {
    OpcLibraryTable t = OpcFailingTable();
    t.OpcEnumerateServers = EnumerateServers;
    t.OpcConnectServer = ConnectServer;
    t.OpcDisconnectServer = DisconnectServer;
    t.OpcAddGroup = AddGroup;
    t.OpcRemoveGroup = RemoveGroup;
    t.OpcAddItem = AddItem;
    t.OpcRemoveItem = RemoveItem;
    t.OpcRefreshGroup = RefreshGroup;
    t.OpcWriteItem = WriteItem;
    t.OpcSetDataChangeCallback = SetDataChangeCallback;
    t.OpcSetShutdownCallback = SetShutdownCallback;
    t.OpcSetLibraryCallback = SetLibraryCallback;
    return t;
}

}  // namespace

State& S() { return g_state; }

void Install() {
    static const OpcLibraryTable table = MakeTable();
    g_state = State();
    OpcSetLibraryTable(&table);
}

std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& c : g_state.calls)
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}

OPCDATACHANGEPROC DataChangeProcFor(int hServer) {
    OPCDATACHANGEPROC proc = nullptr;
    for (auto& p : g_state.dataChangeProcs)
        if (p.first == hServer) proc = p.second;
    return proc;
}

}  // namespace fakeopc
