// kobrix_bench: what adding items one by one costs through KOBRIX2.dll, the way the
// address-space browser adds them (each OpcAddItem followed by OpcRefreshGroup(..., 1)).
// Adds 1,000 and then 10,000 items of the simulation server's Big branch to a fresh group
// each time (after one uncounted warm-up round of 1,000) and prints both times and their
// ratio; linear work gives a ratio near 10. The group's update rate is the program's default,
// 1000 ms, so the server's data changes for the items already added arrive meanwhile.
// Single-threaded STA; the library's callbacks are counted as they arrive.
#include "kobrix/Binding.h"

#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

kobrix::Binding g_opc;
long g_changes = 0;

void __stdcall CountChange(int, int, int, const VARIANT*, DWORD, DWORD, DWORD) { ++g_changes; }

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool WriteBigBranchSize(int server, long size) {
    DWORD rate = 1000;
    float band = 0;
    int group = g_opc.OpcAddGroup(server, "bench control", &rate, &band);
    if (group == -1) return false;
    int item = g_opc.OpcAddItem(server, group, "Control.BigBranchSize");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = size;
    bool ok = item != -1 && g_opc.OpcWriteItem(server, group, item, &v, 0) != 0;
    g_opc.OpcRemoveItem(server, group, item);
    g_opc.OpcRemoveGroup(server, group);
    return ok;
}

struct Run {
    bool ok = false;
    double total = 0, adding = 0, refreshing = 0;
    std::vector<double> blocks;  // seconds per 1,000 items, in order
};

Run AddOneByOne(int server, int count) {
    Run run;
    DWORD rate = 1000;
    float band = 0;
    int group = g_opc.OpcAddGroup(server, "bench", &rate, &band);
    if (group == -1) return run;
    LARGE_INTEGER start, a, b, c, block;
    QueryPerformanceCounter(&start);
    block = start;
    run.ok = true;
    for (int i = 0; i < count && run.ok; ++i) {
        char id[32];
        std::snprintf(id, sizeof(id), "Big.T%05d", i);
        QueryPerformanceCounter(&a);
        run.ok = g_opc.OpcAddItem(server, group, id) != -1;
        QueryPerformanceCounter(&b);
        g_opc.OpcRefreshGroup(server, group, 1);
        QueryPerformanceCounter(&c);
        run.adding += Seconds(a, b);
        run.refreshing += Seconds(b, c);
        if (i % 100 == 99) PumpPending();
        if (i % 1000 == 999) {
            run.blocks.push_back(Seconds(block, c));
            block = c;
        }
    }
    run.total = Seconds(start, c);
    g_opc.OpcRemoveGroup(server, group);  // the server drops the group's items with it
    if (!run.ok) std::fprintf(stderr, "kobrix_bench: the server refused an item after a while\n");
    return run;
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IDENTIFY, nullptr,
                         EOAC_NONE, nullptr);
    if (!g_opc.Load()) {
        std::fprintf(stderr, "kobrix_bench: %s\n", g_opc.Error().c_str());
        return 1;
    }
    int server = g_opc.OpcConnectServer("", "Quorvane.Simulation.1", 0);
    if (server == -1 || !WriteBigBranchSize(server, 10000)) {
        std::fprintf(stderr, "kobrix_bench: cannot reach Quorvane.Simulation.1 and its Big branch\n");
        if (server != -1) g_opc.OpcDisconnectServer(server);
        return 1;
    }
    g_opc.OpcSetDataChangeCallback(server, CountChange);

    // A first round, not counted, so that both measured rounds start warm (server threads,
    // RPC channels, the lazily made Big leaves).
    AddOneByOne(server, 1000);
    g_changes = 0;
    Run small = AddOneByOne(server, 1000);
    long smallChanges = g_changes;
    Run large = AddOneByOne(server, 10000);
    WriteBigBranchSize(server, 0);
    g_opc.OpcDisconnectServer(server);
    CoUninitialize();
    if (!small.ok || !large.ok) return 1;

    std::printf("kobrix_bench: items added one by one, each followed by OpcRefreshGroup(..., 1)\n");
    const struct {
        const char* name;
        int n;
        const Run& run;
    } rows[] = {{"1,000", 1000, small}, {"10,000", 10000, large}};
    for (const auto& r : rows) {
        std::printf("  %6s items: %7.2f s  (%5.0f us per item: add %4.0f us, refresh %4.0f us)\n", r.name, r.run.total,
                    r.run.total * 1e6 / r.n, r.run.adding * 1e6 / r.n, r.run.refreshing * 1e6 / r.n);
    }
    std::printf("  10,000 items, each block of 1,000 (s):");
    for (double t : large.blocks) std::printf(" %.2f", t);
    std::printf("\n");
    double ratio = large.total / small.total;
    std::printf("  ratio 10,000 : 1,000 = %.2f (target at most 12: %s)\n", ratio, ratio <= 12 ? "met" : "MISSED");
    std::printf("  data changes delivered: %ld during the first run, %ld in all\n", smallChanges, g_changes);
    return 0;
}
