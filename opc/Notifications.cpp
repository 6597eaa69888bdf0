#include "opc/Notifications.h"

#include <set>

#include "opc/ConnectionList.h"

namespace {

std::set<int> g_lostServers;  // reported lost, shutdown not yet handled

}  // namespace

void __stdcall OpcDataChangeProc(int hServer, int, int hItem, const VARIANT* value, DWORD timeLow, DWORD timeHigh,
                                 DWORD quality) {
    CConnectionList* list = CConnectionList::Current();
    if (list == nullptr) return;  // no window: the change is dropped
    FILETIME ft;
    ft.dwLowDateTime = timeLow;
    ft.dwHighDateTime = timeHigh;
    list->StoreDataChange(hServer, hItem, value, ft, quality);
}

BOOL __stdcall OpcShutdownProc(int hServer) {
    CConnectionList* list = CConnectionList::Current();
    return ::PostMessageA(list != nullptr ? list->NotifyWindow() : nullptr, WM_SERVER_SHUTDOWN, 0,
                          static_cast<LPARAM>(hServer));
}

void __stdcall OpcLibraryProc(int a, int b) {
    if (a == KOBRIX_NOTE_SERVER_LOST) g_lostServers.insert(b);
}

BOOL TakeServerLost(int hServer) { return g_lostServers.erase(hServer) != 0 ? TRUE : FALSE; }
