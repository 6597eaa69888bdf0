#pragma once
// The three callbacks handed to the OPC library. The library calls them on the user-
// interface thread (through the apartment's message loop); a data change is handled at
// once, a shutdown request only posts WM_SERVER_SHUTDOWN to the main view.
#include "kobrix/kobrix2.h"

void __stdcall OpcDataChangeProc(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD timeLow,
                                 DWORD timeHigh, DWORD quality);
BOOL __stdcall OpcShutdownProc(int hServer);
void __stdcall OpcLibraryProc(int a, int b);
