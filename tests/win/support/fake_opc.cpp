#include "tests/win/support/fake_opc.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace fakeopc {
namespace {

State g_state;
std::mutex g_mu;

void Log(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(g_mu);
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
void __stdcall RefreshGroup(int hServer, int hGroup, int mode) {
    Log("RefreshGroup %d %d %d", hServer, hGroup, mode);
    if (g_state.onRefresh) g_state.onRefresh(hServer, hGroup, mode);
}
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
    std::lock_guard<std::mutex> lock(g_mu);
    if (g_state.acceptsPosition && !g_state.acceptsPosition(path)) return 0;
    g_state.position = path;
    return 1;
}
int __stdcall BrowseNames(int hServer, int type) {
    Log("BrowseNames %d %d", hServer, type);
    std::lock_guard<std::mutex> lock(g_mu);
    std::vector<std::string>& out = g_state.current;
    const std::string& at = g_state.position;
    out.clear();
    if (type == KOBRIX_BROWSE_LEAVES) out = g_state.leaves[at];
    if (type == KOBRIX_BROWSE_BRANCHES) out = g_state.branches[at];
    if (type == KOBRIX_BROWSE_FLAT)
        for (const auto& entry : g_state.leaves)
            if (at.empty() || entry.first == at || entry.first.rfind(at + ".", 0) == 0)
                out.insert(out.end(), entry.second.begin(), entry.second.end());
    return int(out.size());
}
int __stdcall GetBrowseName(int, int index, char* buffer, int size) {
    std::lock_guard<std::mutex> lock(g_mu);
    const bool known = index >= 0 && index < int(g_state.current.size());
    Text(buffer, size, known ? g_state.current[index].c_str() : "");
    return known ? 1 : 0;
}
int __stdcall GetItemId(int, const char* leaf, char* buffer, int size) {
    std::lock_guard<std::mutex> lock(g_mu);
    const std::string& at = g_state.position;
    const std::string full = at.empty() ? leaf : at + "." + leaf;
    for (const std::string& name : g_state.leaves[at])
        if (name == full || name == leaf) {
            Text(buffer, size, ("ID:" + full).c_str());
            return 1;
        }
    Text(buffer, size, "");
    return 0;
}
int __stdcall GetNamespaceType(int, WORD* type) {
    std::lock_guard<std::mutex> lock(g_mu);
    *type = g_state.namespaceType;
    return 1;
}

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
    t.OpcSetBrowsePosition = SetBrowsePosition;
    t.OpcBrowseNames = BrowseNames;
    t.OpcGetBrowseName = GetBrowseName;
    t.OpcGetItemId = GetItemId;
    t.OpcGetNamespaceType = GetNamespaceType;
    return t;
}

}  // namespace

State& S() { return g_state; }
std::mutex& Lock() { return g_mu; }

void Install() {
    static const OpcLibraryTable table = MakeTable();
    std::lock_guard<std::mutex> lock(g_mu);
    g_state = State();
    OpcSetLibraryTable(&table);
}

std::vector<std::string> CallsStartingWith(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(g_mu);
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
