// The worker thread of the simulation server (see worker.h).
#include "worker.h"

#include "group.h"
#include "server.h"
#include "tags.h"

#include <algorithm>
#include <condition_variable>
#include <thread>
#include <vector>

namespace sim {
namespace {

std::mutex g_lock;  // guards everything below
std::condition_variable g_wake;
bool g_stop = false;
bool g_woken = false;
std::vector<OpcServer*> g_servers;
std::vector<Group*> g_groups;
std::thread g_thread;
constexpr ULONGLONG kClientCheckMs = 1000;

template <class T>
std::vector<ComPtr<T>> Snapshot(std::vector<T*>& list) {
    std::vector<ComPtr<T>> out;
    out.reserve(list.size());
    for (T* p : list)
        if (p->tryAddRef()) out.push_back(ComPtr<T>::Adopt(p));
    return out;
}

void Run() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Simulation& sim = Simulation::instance();
    ULONGLONG nextScan = GetTickCount64();
    ULONGLONG nextClientCheck = nextScan + kClientCheckMs;
    for (;;) {
        HangGate();  // a hung server sends nothing either
        const ULONGLONG now = GetTickCount64();
        if (now >= nextClientCheck) {
            nextClientCheck = now + kClientCheckMs;
            if (ModuleLife::allClientsGone()) PostThreadMessageW(ModuleLife::mainThread(), kClientsGone, 0, 0);
        }
        const bool scanned = now >= nextScan;
        if (scanned) {
            sim.scan();
            nextScan =
                (now - nextScan > Simulation::kScanMs) ? now + Simulation::kScanMs : nextScan + Simulation::kScanMs;
        }
        std::vector<ComPtr<OpcServer>> servers;
        std::vector<ComPtr<Group>> groups;
        std::wstring reason;
        const bool shutdown = sim.takeShutdownRequest(reason);
        {
            std::lock_guard<std::mutex> lock(g_lock);
            if (g_stop) break;
            if (shutdown) servers = Snapshot(g_servers);
            groups = Snapshot(g_groups);
        }
        for (auto& s : servers) s->sendShutdown(reason);
        for (auto& g : groups) g->tick(now, scanned);
        servers.clear();
        groups.clear();  // may destroy objects; done with no lock held

        std::unique_lock<std::mutex> lock(g_lock);
        g_wake.wait_for(lock, std::chrono::milliseconds(10), [] { return g_stop || g_woken; });
        g_woken = false;
        if (g_stop) break;
    }
    CoUninitialize();
}

template <class T>
void Erase(std::vector<T*>& list, T* p) {
    list.erase(std::remove(list.begin(), list.end(), p), list.end());
}

}  // namespace

void Worker::start() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_stop = false;
    g_thread = std::thread(Run);
}

void Worker::stop() {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_stop = true;
    }
    g_wake.notify_all();
    if (g_thread.joinable()) g_thread.join();
}

void Worker::wake() {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_woken = true;
    }
    g_wake.notify_all();
}

void Worker::add(OpcServer* server) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_servers.push_back(server);
}

void Worker::remove(OpcServer* server) {
    std::lock_guard<std::mutex> lock(g_lock);
    Erase(g_servers, server);
}

void Worker::add(Group* group) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_groups.push_back(group);
}

void Worker::remove(Group* group) {
    std::lock_guard<std::mutex> lock(g_lock);
    Erase(g_groups, group);
}

}  // namespace sim
