#pragma once
// The OPC client library KOBRIX2.dll: 18 operations and three callbacks.
// Handles are 32-bit signed; -1 means none or failure. Texts are NUL-terminated
// 8-bit (ANSI) strings; output buffers are bounded by the size passed.
// The DLL exports each operation under a fixed decorated name (see KOBRIX2_EXPORTS
// below); the program binds to those names at run time (opc/OpcLibrary.h).
#include <windows.h>
#include <oleauto.h>

extern "C" {

// Data change: server handle; group handle (not read by the program); item handle;
// the value (owned by the library, valid during the call); FILETIME low, high; quality.
typedef void(__stdcall* OPCDATACHANGEPROC)(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD timeLow,
                                           DWORD timeHigh, DWORD quality);
// Shutdown request of the server behind hServer. The program answers the result of PostMessageA.
typedef BOOL(__stdcall* OPCSHUTDOWNPROC)(int hServer);
// Library-wide notification: a = KOBRIX_NOTE_SERVER_LOST with b = server handle, sent
// just before the shutdown callback of a server found dead (no shutdown request).
typedef void(__stdcall* OPCLIBRARYPROC)(int a, int b);

typedef int(__stdcall* PFN_OpcEnumerateServers)(int selector, const char* machine);
typedef int(__stdcall* PFN_OpcGetServerName)(int index, char* buffer, int size);
typedef int(__stdcall* PFN_OpcConnectServer)(const char* machine, const char* server, int reserved);
typedef void(__stdcall* PFN_OpcDisconnectServer)(int hServer);
typedef int(__stdcall* PFN_OpcAddGroup)(int hServer, const char* name, DWORD* updateRate, float* deadband);
typedef void(__stdcall* PFN_OpcRemoveGroup)(int hServer, int hGroup);
typedef int(__stdcall* PFN_OpcAddItem)(int hServer, int hGroup, const char* itemId);
typedef void(__stdcall* PFN_OpcRemoveItem)(int hServer, int hGroup, int hItem);
typedef void(__stdcall* PFN_OpcRefreshGroup)(int hServer, int hGroup, int mode);
typedef int(__stdcall* PFN_OpcWriteItem)(int hServer, int hGroup, int hItem, const VARIANT* value, int reserved);
typedef void(__stdcall* PFN_OpcSetDataChangeCallback)(int hServer, OPCDATACHANGEPROC proc);
typedef void(__stdcall* PFN_OpcSetShutdownCallback)(int hServer, OPCSHUTDOWNPROC proc);
typedef void(__stdcall* PFN_OpcSetLibraryCallback)(OPCLIBRARYPROC proc);
typedef int(__stdcall* PFN_OpcSetBrowsePosition)(int hServer, const char* path);
typedef int(__stdcall* PFN_OpcBrowseNames)(int hServer, int type);
typedef int(__stdcall* PFN_OpcGetBrowseName)(int hServer, int index, char* buffer, int size);
typedef int(__stdcall* PFN_OpcGetItemId)(int hServer, const char* leafName, char* buffer, int size);
typedef int(__stdcall* PFN_OpcGetNamespaceType)(int hServer, WORD* type);

}  // extern "C"

// Export name of each operation: X(operation, export name).
#define KOBRIX2_EXPORTS(X)                         \
    X(OpcEnumerateServers, "_KOBRIX20343@8")       \
    X(OpcGetServerName, "_KOBRIX20247@12")         \
    X(OpcConnectServer, "_KOBRIX20989@12")         \
    X(OpcDisconnectServer, "_KOBRIX20133@4")       \
    X(OpcAddGroup, "_KOBRIX20360@16")              \
    X(OpcRemoveGroup, "_KOBRIX20673@8")            \
    X(OpcAddItem, "_KOBRIX20931@12")               \
    X(OpcRemoveItem, "_KOBRIX20764@12")            \
    X(OpcRefreshGroup, "_KOBRIX20057@12")          \
    X(OpcWriteItem, "_KOBRIX20481@20")             \
    X(OpcSetDataChangeCallback, "_KOBRIX23400X@8") \
    X(OpcSetShutdownCallback, "_KOBRIX21927@8")    \
    X(OpcSetLibraryCallback, "_KOBRIX21956@4")     \
    X(OpcSetBrowsePosition, "_KOBRIX20204@8")      \
    X(OpcBrowseNames, "_KOBRIX20205@8")            \
    X(OpcGetBrowseName, "_KOBRIX20444@16")         \
    X(OpcGetItemId, "_KOBRIX20206@16")             \
    X(OpcGetNamespaceType, "_KOBRIX20202@8")

// OpcBrowseNames types and the flat namespace answer of OpcGetNamespaceType.
enum { KOBRIX_BROWSE_BRANCHES = 1, KOBRIX_BROWSE_LEAVES = 2, KOBRIX_BROWSE_FLAT = 3 };
enum { KOBRIX_NS_HIERARCHICAL = 1, KOBRIX_NS_FLAT = 2 };
// OpcRefreshGroup modes.
enum { KOBRIX_REFRESH_GROUP = 0, KOBRIX_REFRESH_LAST_ADDED = 1 };
enum { KOBRIX_NOTE_SERVER_LOST = 1 };
