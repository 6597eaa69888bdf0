#pragma once
// The OPC client library KOBRIX2.dll, bound by export name at run time.
//
// The program calls the library only through the free functions below, which carry the
// operations' own names. They go through one table of function pointers: the library's
// exports once OpcLoadLibrary has bound them all, or a replacement table (the tests' fakes).
// While no complete library is bound (the DLL is missing, or one of its 18 exports is: the
// DLL is then not the one we know, and none of it is used), every operation answers
// failure (-1 for handles, 0 for counts and results) and does nothing.
//
// Threading: the user-interface thread only; the library calls back on the same thread.
#include "kobrix/Binding.h"

using OpcLibraryTable = kobrix::Table;

// Loads KOBRIX2.dll from the executable's directory and binds every export. TRUE when all
// 18 were found; on FALSE the failing table stays in place. Loading twice is harmless.
BOOL OpcLoadLibrary();
BOOL OpcIsLibraryLoaded();

// Replaces the table the operations use (tests); nullptr goes back to the bound library,
// or to the failing table when none is bound. The table must outlive its use.
void OpcSetLibraryTable(const OpcLibraryTable* table);
// The table that answers failure to every operation.
const OpcLibraryTable& OpcFailingTable();

int OpcEnumerateServers(int selector, const char* machine);
int OpcGetServerName(int index, char* buffer, int size);
int OpcConnectServer(const char* machine, const char* server, int reserved);
void OpcDisconnectServer(int hServer);
int OpcAddGroup(int hServer, const char* name, DWORD* updateRate, float* deadband);
void OpcRemoveGroup(int hServer, int hGroup);
int OpcAddItem(int hServer, int hGroup, const char* itemId);
void OpcRemoveItem(int hServer, int hGroup, int hItem);
void OpcRefreshGroup(int hServer, int hGroup, int mode);
int OpcWriteItem(int hServer, int hGroup, int hItem, const VARIANT* value, int reserved);
void OpcSetDataChangeCallback(int hServer, OPCDATACHANGEPROC proc);
void OpcSetShutdownCallback(int hServer, OPCSHUTDOWNPROC proc);
void OpcSetLibraryCallback(OPCLIBRARYPROC proc);
int OpcSetBrowsePosition(int hServer, const char* path);
int OpcBrowseNames(int hServer, int type);
int OpcGetBrowseName(int hServer, int index, char* buffer, int size);
int OpcGetItemId(int hServer, const char* leafName, char* buffer, int size);
int OpcGetNamespaceType(int hServer, WORD* type);
