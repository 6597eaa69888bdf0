// A server process can die without a word: its callbacks simply stop, and the program would go
// on showing the last values as good. Every few seconds a thread timer on the owner thread asks
// each live server for its status (IOPCServer::GetStatus, one round trip); a server found gone,
// by this or by any other call, is reported once through its shutdown callback, whose handler
// takes the connection down as for a shutdown request. The timer runs only while the owner
// thread dispatches messages, and skips its turn while an operation is under way. A user's
// operation may start inside the check's wait (COM lets messages in); it is not refused for it.
#include "kobrix/Watchdog.h"

#include "kobrix/State.h"

namespace kobrix {

namespace {

const UINT kPeriodMs = 3000;
UINT_PTR g_timer = 0;

void CALLBACK OnWatchTimer(HWND, UINT, UINT_PTR, DWORD) {
    Library& library = Library::Instance();
    if (library.callDepth != 0) return;
    ++library.callDepth;  // our own calls below count as an operation, so the timer never nests
    try {
        for (const auto& server : library.Servers()) {
            if (server->removed) continue;
            if (!server->dead) {
                ComPtr<IOPCServer> object = server->server;
                OPCSERVERSTATUS* status = nullptr;
                Library::Call(*server, [&] { return object->GetStatus(&status); }, Library::Kind::StatusCheck);
                if (status) {
                    CoTaskMemFree(status->szVendorInfo);
                    CoTaskMemFree(status);
                }
            }
            if (server->dead && !server->goneReported && !server->removed) {
                server->goneReported = true;
                if (library.libraryCallback) library.libraryCallback(KOBRIX_NOTE_SERVER_LOST, server->handle);
                library.DeliverShutdown(server->handle);
            }
        }
    } catch (...) {
    }
    --library.callDepth;
}

}  // namespace

void WatchServers() {
    if (!g_timer) g_timer = SetTimer(nullptr, 0, kPeriodMs, OnWatchTimer);
}

void StopWatchingIfIdle() {
    if (g_timer && Library::Instance().Servers().empty()) {
        KillTimer(nullptr, g_timer);
        g_timer = 0;
    }
}

}  // namespace kobrix
