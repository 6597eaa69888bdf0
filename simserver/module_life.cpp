// Object count and client tracking of the server process (see ModuleLife in com_util.h).
#include "com_util.h"

#include <rpc.h>
#include <rpcdcep.h>

#include <map>
#include <mutex>

namespace sim {
namespace {

std::mutex g_lock;
std::map<DWORD, long> g_clients;  // client process id (0 = unknown) -> live objects it made

bool ProcessEnded(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    const bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

}  // namespace

DWORD ModuleLife::callerProcessId() {
    unsigned long pid = 0;
    if (I_RpcBindingInqLocalClientPID(nullptr, &pid) != RPC_S_OK) return 0;
    return pid == GetCurrentProcessId() ? 0 : static_cast<DWORD>(pid);
}

DWORD ModuleLife::add() {
    ++s_objects;
    s_everUsed = true;
    const DWORD client = callerProcessId();
    std::lock_guard<std::mutex> lock(g_lock);
    ++g_clients[client];
    return client;
}

void ModuleLife::remove(DWORD client) {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = g_clients.find(client);
        if (it != g_clients.end() && --it->second == 0) g_clients.erase(it);
    }
    if (--s_objects == 0 && s_mainThread) PostThreadMessageW(s_mainThread, WM_NULL, 0, 0);
}

bool ModuleLife::allClientsGone() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_clients.empty()) return false;
    for (const auto& c : g_clients)
        if (c.first == 0 || !ProcessEnded(c.first)) return false;
    return true;
}

}  // namespace sim
