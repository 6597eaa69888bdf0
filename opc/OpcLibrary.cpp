#include "opc/OpcLibrary.h"

namespace {

// The failing table: what every operation answers while no library is bound.
int __stdcall FailEnumerateServers(int, const char*) { return 0; }
int __stdcall FailGetServerName(int, char* buffer, int size) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return 0;
}
int __stdcall FailConnectServer(const char*, const char*, int) { return -1; }
void __stdcall FailDisconnectServer(int) {}
int __stdcall FailAddGroup(int, const char*, DWORD*, float*) { return -1; }
void __stdcall FailRemoveGroup(int, int) {}
int __stdcall FailAddItem(int, int, const char*) { return -1; }
void __stdcall FailRemoveItem(int, int, int) {}
void __stdcall FailRefreshGroup(int, int, int) {}
int __stdcall FailWriteItem(int, int, int, const VARIANT*, int) { return 0; }
void __stdcall FailSetDataChangeCallback(int, OPCDATACHANGEPROC) {}
void __stdcall FailSetShutdownCallback(int, OPCSHUTDOWNPROC) {}
void __stdcall FailSetLibraryCallback(OPCLIBRARYPROC) {}
int __stdcall FailSetBrowsePosition(int, const char*) { return 0; }
int __stdcall FailBrowseNames(int, int) { return 0; }
int __stdcall FailGetBrowseName(int, int, char* buffer, int size) { return FailGetServerName(0, buffer, size); }
int __stdcall FailGetItemId(int, const char*, char* buffer, int size) { return FailGetServerName(0, buffer, size); }
int __stdcall FailGetNamespaceType(int, WORD*) { return 0; }

const OpcLibraryTable kFailingTable = {
    FailEnumerateServers,
    FailGetServerName,
    FailConnectServer,
    FailDisconnectServer,
    FailAddGroup,
    FailRemoveGroup,
    FailAddItem,
    FailRemoveItem,
    FailRefreshGroup,
    FailWriteItem,
    FailSetDataChangeCallback,
    FailSetShutdownCallback,
    FailSetLibraryCallback,
    FailSetBrowsePosition,
    FailBrowseNames,
    FailGetBrowseName,
    FailGetItemId,
    FailGetNamespaceType,
};

OpcLibraryTable g_bound = kFailingTable;
BOOL g_bLoaded = FALSE;
const OpcLibraryTable* g_pTable = &kFailingTable;

const OpcLibraryTable& T() { return *g_pTable; }

}  // namespace

const OpcLibraryTable& OpcFailingTable() { return kFailingTable; }

BOOL OpcIsLibraryLoaded() { return g_bLoaded; }

BOOL OpcLoadLibrary() {
    if (g_bLoaded) return TRUE;
    auto* binding = new kobrix::Binding;
    if (!binding->Load(kobrix::Binding::BesideProgram("KOBRIX2.dll"))) {
        delete binding;  // frees the DLL: not the one we know, none of it is used
        return FALSE;
    }
    // The library stays loaded until the process ends: its callbacks may come at any time.
    g_bound = *binding;
    g_bLoaded = TRUE;
    if (g_pTable == &kFailingTable) g_pTable = &g_bound;
    return TRUE;
}

void OpcSetLibraryTable(const OpcLibraryTable* table) {
    if (table != nullptr)
        g_pTable = table;
    else
        g_pTable = g_bLoaded ? &g_bound : &kFailingTable;
}

int OpcEnumerateServers(int selector, const char* machine) { return T().OpcEnumerateServers(selector, machine); }
int OpcGetServerName(int index, char* buffer, int size) { return T().OpcGetServerName(index, buffer, size); }
int OpcConnectServer(const char* machine, const char* server, int reserved) {
    return T().OpcConnectServer(machine, server, reserved);
}
void OpcDisconnectServer(int hServer) { T().OpcDisconnectServer(hServer); }
int OpcAddGroup(int hServer, const char* name, DWORD* updateRate, float* deadband) {
    return T().OpcAddGroup(hServer, name, updateRate, deadband);
}
void OpcRemoveGroup(int hServer, int hGroup) { T().OpcRemoveGroup(hServer, hGroup); }
int OpcAddItem(int hServer, int hGroup, const char* itemId) { return T().OpcAddItem(hServer, hGroup, itemId); }
void OpcRemoveItem(int hServer, int hGroup, int hItem) { T().OpcRemoveItem(hServer, hGroup, hItem); }
void OpcRefreshGroup(int hServer, int hGroup, int mode) { T().OpcRefreshGroup(hServer, hGroup, mode); }
int OpcWriteItem(int hServer, int hGroup, int hItem, const VARIANT* value, int reserved) {
    return T().OpcWriteItem(hServer, hGroup, hItem, value, reserved);
}
void OpcSetDataChangeCallback(int hServer, OPCDATACHANGEPROC proc) { T().OpcSetDataChangeCallback(hServer, proc); }
void OpcSetShutdownCallback(int hServer, OPCSHUTDOWNPROC proc) { T().OpcSetShutdownCallback(hServer, proc); }
void OpcSetLibraryCallback(OPCLIBRARYPROC proc) { T().OpcSetLibraryCallback(proc); }
int OpcSetBrowsePosition(int hServer, const char* path) { return T().OpcSetBrowsePosition(hServer, path); }
int OpcBrowseNames(int hServer, int type) { return T().OpcBrowseNames(hServer, type); }
int OpcGetBrowseName(int hServer, int index, char* buffer, int size) {
    return T().OpcGetBrowseName(hServer, index, buffer, size);
}
int OpcGetItemId(int hServer, const char* leafName, char* buffer, int size) {
    return T().OpcGetItemId(hServer, leafName, buffer, size);
}
int OpcGetNamespaceType(int hServer, WORD* type) { return T().OpcGetNamespaceType(hServer, type); }
