#pragma once
// The three callbacks handed to the OPC library. The library calls them on the user-
// interface thread (through the apartment's message loop); a data change is stored at
// once in the current connection list, a shutdown only posts WM_SERVER_SHUTDOWN to the
// list's window, because the disconnect calls back into the library.
#include "kobrix/kobrix2.h"

void __stdcall OpcDataChangeProc(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD timeLow,
                                 DWORD timeHigh, DWORD quality);
BOOL __stdcall OpcShutdownProc(int hServer);
// a = KOBRIX_NOTE_SERVER_LOST, b = server handle: the shutdown that follows is a death.
void __stdcall OpcLibraryProc(int a, int b);
// TRUE once for a server the library reported lost (the report is taken).
BOOL TakeServerLost(int hServer);
