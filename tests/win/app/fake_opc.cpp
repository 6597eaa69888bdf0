#include "tests/win/app/fake_opc.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

void Text(char* buffer, int size, const char* text) {
    if (buffer != nullptr && size > 0) {
        std::strncpy(buffer, text, size - 1);
        buffer[size - 1] = '\0';
    }
}

int __stdcall EnumerateServers(int selector, const char* machine) {
    Log("EnumerateServers %d %s", selector, machine);
    return 1;
}
int __stdcall GetServerName(int index, char* buffer, int size) {
    Log("GetServerName %d", index);
    Text(buffer, size, "Quorvane.Simulation.1");
    return 1;
}
int __stdcall ConnectServer(const char* machine, const char* server, int) {
    Log("ConnectServer %s|%s", machine, server);
    if (g_state.refuseServers.count(server)) return -1;
    return g_state.nextServer++;
}
void __stdcall DisconnectServer(int hServer) { Log("DisconnectServer %d", hServer); }
int __stdcall AddGroup(int hServer, const char* name, DWORD* rate, float* deadband) {
    Log("AddGroup %d %s %lu %.1f", hServer, name, static_cast<unsigned long>(*rate), static_cast<double>(*deadband));
    if (g_state.refuseGroups.count(hServer)) return -1;
    return g_state.nextGroup++;
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
int __stdcall SetBrowsePosition(int hServer, const char* path) {
    Log("SetBrowsePosition %d %s", hServer, path);
    return 1;
}
int __stdcall BrowseNames(int hServer, int type) {
    Log("BrowseNames %d %d", hServer, type);
    return 0;
}
int __stdcall GetBrowseName(int, int, char* buffer, int size) {
    Text(buffer, size, "");
    return 0;
}
int __stdcall GetItemId(int, const char*, char* buffer, int size) {
    Text(buffer, size, "");
    return 0;
}
int __stdcall GetNamespaceType(int, WORD* type) {
    *type = KOBRIX_NS_HIERARCHICAL;
    return 1;
}

const OpcLibraryTable kTable = {
    EnumerateServers, GetServerName, ConnectServer,         DisconnectServer,    AddGroup,
    RemoveGroup,      AddItem,       RemoveItem,            RefreshGroup,        WriteItem,
    SetDataChangeCallback, SetShutdownCallback, SetLibraryCallback, SetBrowsePosition, BrowseNames,
    GetBrowseName,    GetItemId,     GetNamespaceType,
};

}  // namespace

State& S() { return g_state; }

void Install() {
    g_state = State();
    OpcSetLibraryTable(&kTable);
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
