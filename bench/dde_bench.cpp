// dde_bench: how fast and how soon data changes travel from the simulation server
// through quorvane.exe to one DDE client holding hot links, measured against a bare
// DDEML server (dde_bare_server.exe) that posts the same number of advises, on the same
// schedule, to the same client in the same run.
//
// Bridge: quorvane.exe in its own folder with C connections to Quorvane.Simulation.1
// (group rate 50 ms, the server's fastest), each with the seven items that change at
// every 50 ms scan; this process holds a hot link on each of the 7*C items and counts
// advises for S seconds.
// OPC side: the bench's own group with the same seven items at the same rate counts what
// one group of the simulation server really delivers (the scan and the group timer drift
// against each other, and a busy machine delays both), times C = the changes offered.
// Bare: dde_bare_server posts the number of advises the bridge delivered to 7*C links on
// C topics, 7*C at a tick, the ticks spaced so that it posts at the rate the OPC side
// offered the bridge (the same load); then the same number again as fast as it can.
//
// Latency, said exactly: for the bridge, the time this process receives an advise of
// Plant.Line1.Counter minus the OPC timestamp the simulation server gave that counter
// value (the counter steps once per scan and its timestamp is the scan's wall-clock
// time; this process learns value -> timestamp from its own OPC subscription to the same
// item through KOBRIX2.dll); for the bare server, receive time minus the wall-clock time
// the server wrote into the value just before DdePostAdvise. One clock: the UTC wall
// clock (FILETIME) of this machine. For comparison it also prints the delay from the OPC
// timestamp to the bench's own OPC callback: what any OPC client waits for the group's
// update, before the bridge adds anything.
//
// Usage: dde_bench [--connections C] [--seconds S] [--bare-only N]   (C defaults to 1, see main)
//   --bare-only N: only the bare server's two runs with N advises (no bridge, no OPC).
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "kobrix/Binding.h"
#include "tests/win/support/app.h"
#include "tests/win/support/tools.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

const UINT kFormat = CF_SYLK;  // below 0xC000: Wine delivers it as is
const DWORD kRateMs = 50;
const char* const kFastItems[] = {"Plant.Line1.Temp",   "Plant.Line1.Level",    "Plant.Line1.Counter",
                                  "Plant.Line1.Random", "Plant.Line2.Pressure", "DEV:boiler/pressure",
                                  "DEV:boiler/flow"};
const int kFastCount = 7;
const DWORD kWarmUpMs = 6000;

struct Figures {
    long advises = 0;
    long opcChanges = 0;  // bridge run: changes the observer's one group got meanwhile
    double seconds = 0;
    std::vector<double> latencyMs;
    double rate() const { return seconds > 0 ? advises / seconds : 0; }
};

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = size_t(p / 100.0 * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// ---- The bench's own OPC view of the counter: value -> OPC timestamp ----------------

kobrix::Binding g_opc;
std::map<long, uint64_t> g_counterStamps;
int g_counterItem = -1;
bool g_counting = false;
long g_observed = 0;                      // data changes of the observer's group while counting
std::vector<double> g_observerLatencyMs;  // counter: OPC timestamp -> the observer's callback

void __stdcall OnChange(int, int, int item, const VARIANT* value, DWORD low, DWORD high, DWORD) {
    if (g_counting) ++g_observed;
    if (item == g_counterItem && value && value->vt == VT_I4) {
        const uint64_t stamp = (uint64_t(high) << 32) | low;
        g_counterStamps[value->lVal] = stamp;
        if (g_counting) g_observerLatencyMs.push_back(double(int64_t(qvdde::PreciseNow() - stamp)) / 1e4);
    }
}

// The bench's own OPC group with the same seven items at the same rate: what one group
// of the simulation server delivers, and the counter's value -> timestamp.
struct Observer {
    int server = -1, group = -1;
    std::vector<int> items;
    bool Start(std::string* why) {
        if (!g_opc.Load()) {
            *why = g_opc.Error();
            return false;
        }
        server = g_opc.OpcConnectServer("", "Quorvane.Simulation.1", 0);
        if (server == -1) {
            *why = "the bench's own connection to Quorvane.Simulation.1 failed";
            return false;
        }
        DWORD rate = kRateMs;
        float band = 0;
        group = g_opc.OpcAddGroup(server, "bench observer", &rate, &band);
        if (group == -1) {
            *why = "no OPC group for the observer";
            return false;
        }
        g_opc.OpcSetDataChangeCallback(server, OnChange);
        for (const char* id : kFastItems) {
            items.push_back(g_opc.OpcAddItem(server, group, id));
            if (std::string(id) == "Plant.Line1.Counter") g_counterItem = items.back();
        }
        g_opc.OpcRefreshGroup(server, group, 0);
        return true;
    }
    ~Observer() {
        if (server == -1) return;
        for (int item : items) g_opc.OpcRemoveItem(server, group, item);
        if (group != -1) g_opc.OpcRemoveGroup(server, group);
        g_opc.OpcDisconnectServer(server);
    }
};

// ---- Bridge ---------------------------------------------------------------------------

bool RunBridge(int connections, double seconds, Figures* f, std::string* why) {
    std::vector<qvtest::ConfigConnection> config;
    for (int c = 0; c < connections; ++c) {
        qvtest::ConfigConnection conn;
        conn.alias = "B" + std::to_string(c + 1);
        conn.updateRate = kRateMs;
        conn.items.assign(kFastItems, kFastItems + kFastCount);
        config.push_back(conn);
    }
    qvtest::QuorvaneApp app;
    ::testing::AssertionResult up = app.Start(qvtest::ConfigText(config));
    for (const auto& c : config)
        if (up) up = app.WaitForTopic(c.alias, 20000);
    if (!up) {
        *why = up.message();
        return false;
    }

    Observer observer;
    if (!observer.Start(why)) return false;

    qvdde::DdeClient client;
    std::vector<std::unique_ptr<qvdde::Conversation>> convs;
    for (const auto& c : config) {
        UINT err = 0;
        auto conv = client.Connect("Quorvane", c.alias, &err);
        if (!conv) {
            *why = "no conversation on " + c.alias + ": " + qvdde::ErrorName(err);
            return false;
        }
        for (const std::string& item : c.items) {
            qvdde::Result r = conv->StartAdvise(item, kFormat);
            if (!r.ok) {
                *why = "advise start on " + c.alias + "!" + item + " refused: " + qvdde::ErrorName(r.error);
                return false;
            }
        }
        convs.push_back(std::move(conv));
    }
    // Warm-up: first values, the flush, and the backlog of data changes that piles up while
    // the program connects its groups one after the other (measured: values up to ~8 s old
    // still arrive 2 s after the links start), so that the figures describe the steady state.
    client.Pump(kWarmUpMs);
    client.queue().clear();

    LARGE_INTEGER freq, t0, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    const LONGLONG end = t0.QuadPart + LONGLONG(seconds * double(freq.QuadPart));
    std::vector<std::pair<long, uint64_t>> counterArrivals;
    g_observed = 0;
    g_counting = true;
    for (;;) {
        QueryPerformanceCounter(&now);
        if (now.QuadPart >= end) break;
        auto a = client.NextAdvise(DWORD((end - now.QuadPart) * 1000 / freq.QuadPart) + 1);
        if (!a) continue;
        if (a->qpc.QuadPart >= end) break;
        ++f->advises;
        if (a->item == "Plant.Line1.Counter")
            if (auto cell = qvdde::DecodeXlTable(a->data)) counterArrivals.push_back({long(cell->number), a->received});
    }
    g_counting = false;
    f->opcChanges = g_observed;
    f->seconds = seconds;
    // Let the observer catch up on the last counter values, then match.
    client.Pump(300);
    for (const auto& arrival : counterArrivals) {
        auto stamp = g_counterStamps.find(arrival.first);
        if (stamp != g_counterStamps.end())
            f->latencyMs.push_back(double(int64_t(arrival.second - stamp->second)) / 1e4);
    }
    convs.clear();
    ::testing::AssertionResult closed = app.Close(20000);
    if (!closed) std::printf("dde_bench: note: %s\n", closed.message());
    return true;
}

// ---- Bare DDEML server ----------------------------------------------------------------

bool RunBare(int topics, long posts, long tickUs, Figures* f, std::string* why) {
    const int links = topics * kFastCount;
    auto server = qvtest::StartTool(
        "dde_bare_server",
        {"--service", "QvBench", "--topics", std::to_string(topics), "--items", std::to_string(kFastCount), "--links",
         std::to_string(links), "--posts", std::to_string(posts), "--tick-us", std::to_string(tickUs), "--per-tick",
         std::to_string(links), "--linger-ms", "20000", "--end-on-disconnect", "1"},
        why);
    if (!server) return false;
    if (!server->WaitLine("ready", 20000)) {
        *why = "dde_bare_server did not start: " + server->err()->Rest();
        return false;
    }
    qvdde::DdeClient client;
    std::vector<std::unique_ptr<qvdde::Conversation>> convs;
    for (int t = 1; t <= topics; ++t) {
        UINT err = 0;
        auto conv = client.Connect("QvBench", "T" + std::to_string(t), &err);
        if (!conv) {
            *why = std::string("no conversation with the bare server: ") + qvdde::ErrorName(err);
            return false;
        }
        for (int i = 0; i < kFastCount; ++i)
            if (!conv->StartAdvise("I" + std::to_string(i), kFormat).ok) {
                *why = "advise start refused by the bare server";
                return false;
            }
        convs.push_back(std::move(conv));
    }
    LARGE_INTEGER freq, first{}, last{};
    QueryPerformanceFrequency(&freq);
    const ULONGLONG giveUp = GetTickCount64() + 120000;
    while (f->advises < posts && GetTickCount64() < giveUp) {
        auto a = client.NextAdvise(1000);
        if (!a) continue;
        if (f->advises == 0) first = a->qpc;
        last = a->qpc;
        ++f->advises;
        if (auto cell = qvdde::DecodeXlTable(a->data)) f->latencyMs.push_back(double(a->received) / 1e4 - cell->number);
    }
    // Rate over the posting time: from the first to the last arrival, plus one tick.
    f->seconds = double(last.QuadPart - first.QuadPart) / double(freq.QuadPart) + tickUs / 1e6;
    convs.clear();
    server->Wait(20000);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // One connection by default: under Wine, DdePostAdvise(topic, item) reaches only one
    // of the links on that item name whatever their topics (measured: 10 posts alternating
    // between T1!I0 and T2!I0 gave the T2 link 10 advises and the T1 link 1), and every
    // connection carries the same seven item names, so with several connections most
    // values go to the wrong conversation and the others' links starve.
    int connections = 1;
    double seconds = 10;
    long bareOnly = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--connections")
            connections = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--seconds")
            seconds = std::max(1.0, std::atof(argv[i + 1]));
        else if (a == "--bare-only")
            bareOnly = std::atol(argv[i + 1]);
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                         EOAC_NONE, nullptr);
    const int items = connections * kFastCount;
    std::printf(
        "dde_bench: %d connections x %d items changing every %lu ms scan (%d hot links), %.0f s after %lu s"
        " of warm-up\n",
        connections, kFastCount, kRateMs, items, seconds, kWarmUpMs / 1000);
    std::fflush(stdout);

    std::string why;
    Figures bridge, paced, unpaced;
    if (bareOnly > 0) {
        if (!RunBare(connections, bareOnly, kRateMs * 1000, &paced, &why) ||
            !RunBare(connections, bareOnly, 0, &unpaced, &why)) {
            std::printf("dde_bench: bare server run failed: %s\n", why.c_str());
            return 1;
        }
        std::printf("bare, 50 ms ticks: %8.1f advises/s  (%ld in %.2f s)  p50 %.2f ms  p99 %.2f ms\n", paced.rate(),
                    paced.advises, paced.seconds, Percentile(paced.latencyMs, 50), Percentile(paced.latencyMs, 99));
        std::printf("bare, unpaced:     %8.1f advises/s  (%ld in %.2f s)  p50 %.2f ms  p99 %.2f ms\n", unpaced.rate(),
                    unpaced.advises, unpaced.seconds, Percentile(unpaced.latencyMs, 50),
                    Percentile(unpaced.latencyMs, 99));
        return 0;
    }
    if (!RunBridge(connections, seconds, &bridge, &why)) {
        std::printf("dde_bench: bridge run failed: %s\n", why.c_str());
        return 1;
    }
    if (bridge.advises == 0) {
        std::printf("dde_bench: no advise arrived through the bridge\n");
        return 1;
    }
    const double offeredRate = double(bridge.opcChanges) * connections / bridge.seconds;
    const long tickUs = offeredRate > 0 ? long(1e6 * items / offeredRate) : long(kRateMs * 1000);
    if (!RunBare(connections, bridge.advises, tickUs, &paced, &why) ||
        !RunBare(connections, bridge.advises, 0, &unpaced, &why)) {
        std::printf("dde_bench: bare server run failed: %s\n", why.c_str());
        return 1;
    }
    const double nominal = double(items) * 1000.0 / kRateMs;
    const double perGroup = bridge.opcChanges / bridge.seconds;
    std::printf(
        "OPC side:          %8.1f changes/s in one group of %d items (the bench's own group); x %d groups = %.1f/s"
        " offered to the bridge (nominal %.0f/s)\n",
        perGroup, kFastCount, connections, perGroup * connections, nominal);
    std::printf("bridge:            %8.1f advises/s  (%ld in %.1f s) = %.1f%% of the changes offered\n", bridge.rate(),
                bridge.advises, bridge.seconds, perGroup > 0 ? 100.0 * bridge.rate() / (perGroup * connections) : 0);
    std::printf("bare, same load:   %8.1f advises/s  (%ld in %.2f s, %d every %.1f ms)\n", paced.rate(), paced.advises,
                paced.seconds, items, tickUs / 1000.0);
    std::printf("bare, unpaced:     %8.1f advises/s  (%ld in %.2f s)\n", unpaced.rate(), unpaced.advises,
                unpaced.seconds);
    std::printf("ratio bridge / bare same load: %.3f (target >= 0.9)\n",
                paced.rate() > 0 ? bridge.rate() / paced.rate() : 0);
    std::printf("ratio bridge / bare unpaced:   %.3f\n", unpaced.rate() > 0 ? bridge.rate() / unpaced.rate() : 0);
    std::printf(
        "latency change -> client, bridge:  p50 %.2f ms  p99 %.2f ms  (p90 %.2f, max %.2f; %zu counter advises"
        " matched to their OPC timestamp)\n",
        Percentile(bridge.latencyMs, 50), Percentile(bridge.latencyMs, 99), Percentile(bridge.latencyMs, 90),
        Percentile(bridge.latencyMs, 100), bridge.latencyMs.size());
    std::printf(
        "latency change -> direct OPC client (the bench's own group): p50 %.2f ms  p99 %.2f ms  (%zu changes)\n",
        Percentile(g_observerLatencyMs, 50), Percentile(g_observerLatencyMs, 99), g_observerLatencyMs.size());
    std::printf("latency post -> client, bare same load: p50 %.2f ms  p99 %.2f ms  (%zu advises)\n",
                Percentile(paced.latencyMs, 50), Percentile(paced.latencyMs, 99), paced.latencyMs.size());
    std::printf("latency post -> client, bare unpaced:    p50 %.2f ms  p99 %.2f ms\n",
                Percentile(unpaced.latencyMs, 50), Percentile(unpaced.latencyMs, 99));
    CoUninitialize();
    return 0;
}
