// throughput_bench: how many OPC values a second quorvane.exe takes in and hands on as DDE
// advises, with 10,000 hot links (by default) on the simulation server's Big branch spread
// over one to four connections, against a bare DDEML server (dde_bare_server.exe) serving
// the same number of links in the same run.
//
// Bridge: quorvane.exe with C connections (group rate 50 ms, the server's fastest), each
// with its own slice of Big.T00000.. (distinct item names: under Wine a post reaches one
// link of an item name whatever its topic). This process holds a hot link on every item.
// The offered rate is stepped up by Control.BigPeriodMs: every leaf takes one step per
// period, so N links are offered N * 1000 / period values a second (nominal). At each step
// it counts the advises delivered and the lag of sample items, and stops stepping once two
// steps in a row fall short.
//
// Lag, said exactly: the time this process receives an advise of a sample item minus the
// OPC timestamp the server gave that value. The bench's own OPC group on the sample items
// (one in a hundred links) learns every value with its timestamp; an advise is matched to
// the first value of its item equal to it after the one matched before. One clock: the
// UTC wall clock of this machine. A growing backlog shows as a lag that grows within a
// step (first half against second half) and as advises falling short of the nominal rate.
// Note: the server's worker calls its clients one after the other, so a bridge that cannot
// keep up slows the server's scans instead of queueing: offered < nominal is the sign.
//
// Absorbed: a step in which the server sent at least 90 % of the nominal OPC values (a
// bridge that holds up its callback slows the server) and, if every change reached the
// client, whose lag did not grow (see Step::Absorbed). Latency is then measured at half
// the highest rate absorbed.
// Bare: dde_bare_server with the same number of links on C topics posts unpaced for the
// step time; advises a second as this same client receives them.
// CPU: the seconds each process spent per second of the step (Wine reports it for other
// processes from Linux), to say who the limiter is.
//
// Usage: throughput_bench [--items N] [--hot H] [--connections C[,C...]] [--step-seconds S]
//        [--bare-only 1] [--library-only 1]
//   --library-only 1: no bridge; this process's own KOBRIX2 group on all the items.
//   --idle-tab 1: a last connection with one static item is selected, so that the measured
//   rows are not on show (what redrawing them costs).
//   --hot H: hot links on every (N/H)-th item only, so that the OPC side's absorption is
//   measured apart from the cost of many DDE links (defaults: 10,000 items, all hot).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/bench_common.h"
#include "tests/win/support/app.h"
#include "tests/win/support/tools.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

const UINT kFormat = CF_SYLK;  // below 0xC000: Wine delivers it as is
const DWORD kRateMs = 50;
const long kQuietPeriodMs = 3600000;  // one step an hour: nothing moves while links are made
const long kPeriodsMs[] = {10000, 5000, 2000, 1000, 500, 250, 100, 50};
const int kSampleEvery = 100;

kobrix::Binding g_opc;

// ---- The bench's own OPC view of the sample items ------------------------------------

struct SampleHistory {
    std::vector<std::pair<double, uint64_t>> changes;  // value, OPC timestamp, in order
    size_t cursor = 0;                                 // changes before it are matched or passed
};
std::vector<SampleHistory> g_samples;
std::unordered_map<int, int> g_sampleByHandle;
long g_observed = 0;
std::vector<double>* g_callbackLag = nullptr;  // when set: OPC timestamp -> this callback, ms

void __stdcall OnChange(int, int, int item, const VARIANT* value, DWORD low, DWORD high, DWORD) {
    auto it = g_sampleByHandle.find(item);
    if (it == g_sampleByHandle.end() || value == nullptr || value->vt != VT_R8) return;
    const uint64_t stamp = (uint64_t(high) << 32) | low;
    if (g_callbackLag != nullptr) {
        g_callbackLag->push_back(double(int64_t(qvdde::PreciseNow() - stamp)) / 1e4);
    } else {
        g_samples[size_t(it->second)].changes.push_back({value->dblVal, stamp});
    }
    ++g_observed;
}

// The bench's connection: the control tags and the sample group. It stays connected for
// the whole run, so that the server keeps the control values; they are set back at the end.
struct OpcSide {
    int server = -1, group = -1;
    std::vector<int> items;
    bool Start(int branchSize, const std::vector<std::string>& sampleIds, std::string* why) {
        if (!g_opc.Load()) {
            *why = g_opc.Error();
            return false;
        }
        server = g_opc.OpcConnectServer("", "Quorvane.Simulation.1", 0);
        if (server == -1 || !bench::WriteControl(g_opc, server, "Control.BigBranchSize", branchSize) ||
            !SetPeriod(kQuietPeriodMs)) {
            *why = "cannot reach Quorvane.Simulation.1 and its control tags";
            return false;
        }
        DWORD rate = kRateMs;
        float band = 0;
        group = g_opc.OpcAddGroup(server, "bench samples", &rate, &band);
        if (group == -1) {
            *why = "no OPC group for the samples";
            return false;
        }
        // The histories first: a value can arrive while the next item is being added.
        g_sampleByHandle.clear();
        g_samples.assign(sampleIds.size(), SampleHistory());
        g_opc.OpcSetDataChangeCallback(server, OnChange);
        for (const std::string& id : sampleIds) {
            items.push_back(g_opc.OpcAddItem(server, group, id.c_str()));
            g_sampleByHandle[items.back()] = int(items.size() - 1);
        }
        return true;
    }
    bool SetPeriod(long ms) { return bench::WriteControl(g_opc, server, "Control.BigPeriodMs", ms); }
    ~OpcSide() {
        if (server == -1) return;
        for (int item : items) g_opc.OpcRemoveItem(server, group, item);
        if (group != -1) g_opc.OpcRemoveGroup(server, group);
        SetPeriod(0);
        bench::WriteControl(g_opc, server, "Control.BigBranchSize", 0);
        g_opc.OpcDisconnectServer(server);
    }
};

// ---- One step of the offered rate ------------------------------------------------------

struct Step {
    long periodMs = 0;
    int items = 0, links = 0;  // OPC items changing, hot links on them
    double seconds = 0;
    long advises = 0, observed = 0, unmatched = 0;
    std::vector<double> lag, lagFirst, lagSecond;        // ms
    double bridgeCpu = -1, benchCpu = -1, wineCpu = -1;  // CPU seconds per second (wineCpu: wineserver)
    double perItem() const { return 1000.0 / double(std::max(periodMs, long(kRateMs))); }
    double nominal() const { return links * perItem(); }  // advises a second
    double rate() const { return seconds > 0 ? advises / seconds : 0; }
    // OPC values a second: what the server sent the bench's own group, per item, times the items.
    double offered() const {
        return seconds > 0 && !g_samples.empty() ? double(observed) / double(g_samples.size()) / seconds * items : 0;
    }
    bool Growing() const {
        if (lagFirst.empty() || lagSecond.empty()) return false;  // one burst in the step: nothing to compare
        return bench::Percentile(lagSecond, 50) > 2 * bench::Percentile(lagFirst, 50) + 20;
    }
    // The server was not slowed (it sent the values it should) and, when every change
    // reached the client, its lag did not grow. When DDE cannot take every change the
    // bridge posts a waiting item once, with its latest value: nothing queues up, and the
    // lag is the age of the value delivered, which grows within a period by design.
    bool Absorbed() const {
        const bool everyChange = rate() >= 0.9 * nominal();
        return offered() >= 0.9 * items * perItem() && (!everyChange || !Growing());
    }
};

struct Arrival {
    int sample;
    double value;
    uint64_t received;
    bool secondHalf;
};

// An advise carries the value its item had when it was posted: the latest value equal to
// it that the server stamped before it arrived (1 ms of tolerance for the two processes'
// readings of the clock), and not one an earlier advise of the item was matched to.
void Match(const std::vector<Arrival>& arrivals, Step* step) {
    for (const Arrival& a : arrivals) {
        SampleHistory& h = g_samples[size_t(a.sample)];
        auto stampedBefore =
            std::upper_bound(h.changes.begin() + long(h.cursor), h.changes.end(), a.received + 10000,
                             [](uint64_t t, const std::pair<double, uint64_t>& c) { return t < c.second; });
        size_t k = size_t(stampedBefore - h.changes.begin());
        while (k > h.cursor && h.changes[k - 1].first != a.value) --k;
        if (k == h.cursor) {
            ++step->unmatched;
            continue;
        }
        h.cursor = k;
        const double ms = double(int64_t(a.received - h.changes[k - 1].second)) / 1e4;
        step->lag.push_back(ms);
        (a.secondHalf ? step->lagSecond : step->lagFirst).push_back(ms);
    }
}

struct Probes {
    bench::CpuProbe bridge, self, wineserver;
};

Step Measure(qvdde::DdeClient& client, OpcSide& opc, const Probes& cpu, long periodMs, double seconds, int items,
             int links, const std::unordered_map<std::string, int>& sampleByName) {
    Step step;
    step.periodMs = periodMs;
    step.items = items;
    step.links = links;
    opc.SetPeriod(periodMs);
    client.Pump(1500);  // the change of pace settles
    client.queue().clear();
    // Only values of this step are matched: values repeat every 20 steps, and an advise
    // matched to one of the settling values would count a whole cycle as lag.
    for (SampleHistory& h : g_samples) h.cursor = h.changes.size();
    std::vector<Arrival> arrivals;
    g_observed = 0;
    const double bridgeCpu0 = cpu.bridge.Seconds(), benchCpu0 = cpu.self.Seconds(), wineCpu0 = cpu.wineserver.Seconds();
    bench::Stopwatch clock;
    for (;;) {
        const double now = clock.Seconds();
        if (now >= seconds) break;
        auto a = client.NextAdvise(DWORD((seconds - now) * 1000) + 1);
        if (!a) continue;
        ++step.advises;
        auto s = sampleByName.find(a->item);
        if (s == sampleByName.end()) continue;
        if (auto cell = qvdde::DecodeXlTable(a->data))
            arrivals.push_back({s->second, cell->number, a->received, clock.Seconds() >= seconds / 2});
    }
    step.seconds = clock.Seconds();
    step.observed = g_observed;
    if (bridgeCpu0 >= 0) step.bridgeCpu = (cpu.bridge.Seconds() - bridgeCpu0) / step.seconds;
    if (benchCpu0 >= 0) step.benchCpu = (cpu.self.Seconds() - benchCpu0) / step.seconds;
    if (wineCpu0 >= 0) step.wineCpu = (cpu.wineserver.Seconds() - wineCpu0) / step.seconds;
    client.Pump(500);  // the bench's own group catches up on the last values
    client.queue().clear();
    Match(arrivals, &step);
    return step;
}

void PrintStep(const char* what, const Step& s) {
    std::printf(
        "  %-9s period %5ld ms: OPC values offered %8.0f/s  advises nominal %8.0f/s delivered %8.0f/s (%5.1f%%)  lag "
        "p50 %7.1f"
        " p99 %7.1f ms (halves %6.1f -> %6.1f; %zu matched, %ld not)  cpu bridge %.2f bench %.2f wineserver %.2f"
        "  %s\n",
        what, s.periodMs, s.offered(), s.nominal(), s.rate(), 100.0 * s.rate() / s.nominal(),
        bench::Percentile(s.lag, 50), bench::Percentile(s.lag, 99), bench::Percentile(s.lagFirst, 50),
        bench::Percentile(s.lagSecond, 50), s.lag.size(), s.unmatched, s.bridgeCpu, s.benchCpu, s.wineCpu,
        s.Absorbed() ? "absorbed" : (s.Growing() ? "BACKLOG GROWS" : "short"));
    std::fflush(stdout);
}

// Starts the links of one conversation per topic; false with why. Also how long it took.
bool StartLinks(qvdde::DdeClient& client, const std::string& service,
                const std::vector<std::pair<std::string, std::vector<std::string>>>& topics,
                std::vector<std::unique_ptr<qvdde::Conversation>>* convs, double* seconds, std::string* why) {
    bench::Stopwatch clock;
    for (const auto& t : topics) {
        UINT err = 0;
        auto conv = client.Connect(service, t.first, &err);
        if (!conv) {
            *why = "no conversation on " + service + "|" + t.first + ": " + qvdde::ErrorName(err);
            return false;
        }
        for (const std::string& item : t.second) {
            qvdde::Result r = conv->StartAdvise(item, kFormat, 60000);
            if (!r.ok) {
                *why = "advise start on " + t.first + "!" + item + " refused: " + qvdde::ErrorName(r.error);
                return false;
            }
        }
        convs->push_back(std::move(conv));
    }
    *seconds = clock.Seconds();
    return true;
}

// Pumps until no advise has come for quietMs (or boundMs passed); the number taken.
long Drain(qvdde::DdeClient& client, DWORD quietMs, DWORD boundMs) {
    long n = 0;
    const ULONGLONG end = GetTickCount64() + boundMs;
    while (GetTickCount64() < end) {
        if (!client.NextAdvise(quietMs)) break;
        ++n;
    }
    client.queue().clear();
    return n;
}

// ---- Bridge ------------------------------------------------------------------------------

struct BridgeRun {
    int connections = 0;
    double startSeconds = 0, linkSeconds = 0, firstValuesSeconds = 0;
    long firstValues = 0;
    std::vector<Step> steps;
    Step half;
    double maxAbsorbed = 0;
};

// items: the OPC items, split over the connections; a hot link on every stride-th one.
// idleTab: one more connection, last and so selected, with one static item: the rows of the
// measured connections are then not on show and not redrawn.
bool RunBridge(int connections, int items, int stride, bool idleTab, double stepSeconds, BridgeRun* run,
               std::string* why) {
    run->connections = connections;
    std::vector<qvtest::ConfigConnection> config;
    std::vector<std::pair<std::string, std::vector<std::string>>> topics;
    std::unordered_map<std::string, int> sampleByName;
    std::vector<std::string> sampleIds;
    const int per = items / connections;
    int links = 0;
    for (int c = 0; c < connections; ++c) {
        qvtest::ConfigConnection conn;
        conn.alias = "B" + std::to_string(c + 1);
        conn.updateRate = kRateMs;
        std::vector<std::string> hot;
        for (int j = 0; j < per; ++j) {
            const int n = c * per + j;
            conn.items.push_back(bench::BigItem(n));
            if (n % stride != 0) continue;
            hot.push_back(conn.items.back());
            if (n % kSampleEvery == 0) {
                sampleByName[hot.back()] = int(sampleIds.size());
                sampleIds.push_back(hot.back());
            }
        }
        links += int(hot.size());
        topics.push_back({conn.alias, hot});
        config.push_back(conn);
    }
    items = per * connections;
    if (idleTab) {
        qvtest::ConfigConnection idle;
        idle.alias = "Idle";
        idle.items = {"Static.R8"};
        config.push_back(idle);
    }
    OpcSide opc;
    if (!opc.Start(items, sampleIds, why)) return false;

    bench::Stopwatch clock;
    qvtest::QuorvaneApp app;
    if (!bench::Ok(app.Start(qvtest::ConfigText(config), 900000), why)) return false;
    while (!IsWindowVisible(app.mainWindow()) && clock.Seconds() < 900 && app.process().running()) Sleep(50);
    for (const auto& c : config)
        if (!bench::Ok(app.WaitForTopic(c.alias, 60000), why)) return false;
    run->startSeconds = clock.Seconds();
    const std::string& folder = app.folder().path();
    const Probes cpu{bench::CpuProbe(app.process().handle(), folder.substr(folder.find_last_of('\\') + 1)),
                     bench::CpuProbe(GetCurrentProcess(), "throughput_bench.exe"),
                     bench::CpuProbe(bench::WineserverDir())};

    // Updates are suspended while the links start: a Wine client reports an advise start as
    // refused when advise data of the same conversation arrives meanwhile (the program's
    // flush would post the first values of the links already made). Suspended, the flush
    // drops those first values; the steps bring values enough.
    qvdde::DdeClient client;
    std::vector<std::unique_ptr<qvdde::Conversation>> convs;
    if (!app.Click(IDC_SUSPEND, 60000)) {
        *why = "the Suspend button did not answer";
        return false;
    }
    const bool linked = StartLinks(client, "Quorvane", topics, &convs, &run->linkSeconds, why);
    Sleep(1500);  // one flush, with the marks of the new links, while suspended
    if (!app.Click(IDC_RESUME, 60000)) {
        *why = "the Resume button did not answer";
        return false;
    }
    if (!linked) return false;
    clock.Restart();
    run->firstValues = Drain(client, 3000, 300000);
    run->firstValuesSeconds = clock.Seconds();
    std::printf(
        "  bridge, %d connection(s), %d items: started and listed in %.1f s; %d links started in %.1f s; %ld"
        " advises before the first step (%.1f s)\n",
        connections, items, run->startSeconds, links, run->linkSeconds, run->firstValues, run->firstValuesSeconds);
    std::fflush(stdout);

    int shortSteps = 0;
    for (long period : kPeriodsMs) {
        if (period * 3 > stepSeconds * 1000) continue;  // fewer than three changes: no rate to tell
        Step s = Measure(client, opc, cpu, period, stepSeconds, items, links, sampleByName);
        PrintStep("step", s);
        run->steps.push_back(s);
        if (s.Absorbed()) {
            run->maxAbsorbed = std::max(run->maxAbsorbed, s.offered());
            shortSteps = 0;
        } else if (++shortSteps == 2) {
            break;
        }
    }
    if (run->maxAbsorbed > 0) {
        const long halfPeriod = std::max(long(kRateMs), long(items * 1000.0 / (run->maxAbsorbed / 2)));
        run->half = Measure(client, opc, cpu, halfPeriod, 2 * stepSeconds, items, links, sampleByName);
        PrintStep("half rate", run->half);
    }
    opc.SetPeriod(kQuietPeriodMs);
    convs.clear();
    std::string closeWhy;
    if (!bench::Ok(app.Close(120000), &closeWhy)) std::printf("  note: %s\n", closeWhy.c_str());
    return true;
}

// ---- Bare DDEML server -----------------------------------------------------------------

struct BareRun {
    double linkSeconds = 0, seconds = 0, serverSeconds = 0, serverCpu = -1, benchCpu = -1, wineCpu = -1;
    long advises = 0, posted = 0;
    double rate() const { return seconds > 0 ? advises / seconds : 0; }
};

bool RunBare(int topicCount, int links, double seconds, BareRun* run, std::string* why) {
    const int per = links / topicCount;
    auto server = qvtest::StartTool("dde_bare_server",
                                    {"--service",
                                     "QvBench",
                                     "--topics",
                                     std::to_string(topicCount),
                                     "--items",
                                     std::to_string(per),
                                     "--distinct-items",
                                     "1",
                                     "--links",
                                     std::to_string(per * topicCount),
                                     "--posts",
                                     "2000000000",
                                     "--max-seconds",
                                     std::to_string(seconds),
                                     "--link-wait-ms",
                                     "900000",
                                     "--linger-ms",
                                     "60000",
                                     "--end-on-disconnect",
                                     "1"},
                                    why);
    if (!server) return false;
    if (!server->WaitLine("ready", 30000)) {
        *why = "dde_bare_server did not start: " + server->err()->Rest();
        return false;
    }
    std::vector<std::pair<std::string, std::vector<std::string>>> topics;
    for (int t = 1; t <= topicCount; ++t) {
        std::vector<std::string> items;
        for (int i = 0; i < per; ++i) items.push_back(bench::BigItem((t - 1) * per + i));
        topics.push_back({"T" + std::to_string(t), items});
    }
    qvdde::DdeClient client;
    std::vector<std::unique_ptr<qvdde::Conversation>> convs;
    if (!StartLinks(client, "QvBench", topics, &convs, &run->linkSeconds, why)) return false;

    // Arrivals from the first to the last; the server says when it stopped posting.
    LARGE_INTEGER freq, first{}, last{};
    QueryPerformanceFrequency(&freq);
    const Probes cpu{bench::CpuProbe(server->handle(), "dde_bare_server.exe"),
                     bench::CpuProbe(GetCurrentProcess(), "throughput_bench.exe"),
                     bench::CpuProbe(bench::WineserverDir())};
    const double serverCpu0 = cpu.bridge.Seconds(), benchCpu0 = cpu.self.Seconds(), wineCpu0 = cpu.wineserver.Seconds();
    bench::Stopwatch clock;
    bool posted = false;
    while (clock.Seconds() < seconds + 120) {
        auto a = client.NextAdvise(posted ? 2000 : 200);
        if (a) {
            if (run->advises++ == 0) first = a->qpc;
            last = a->qpc;
            continue;
        }
        if (posted) break;
        if (auto line = server->WaitLine("posted", 1)) {
            posted = true;
            const double wall = clock.Seconds();
            if (serverCpu0 >= 0) run->serverCpu = (cpu.bridge.Seconds() - serverCpu0) / wall;
            if (benchCpu0 >= 0) run->benchCpu = (cpu.self.Seconds() - benchCpu0) / wall;
            if (wineCpu0 >= 0) run->wineCpu = (cpu.wineserver.Seconds() - wineCpu0) / wall;
            std::istringstream in(line->substr(7));
            in >> run->posted;
            std::string word;
            in >> word >> run->serverSeconds;
        }
    }
    run->seconds = double(last.QuadPart - first.QuadPart) / double(freq.QuadPart);
    convs.clear();
    server->Wait(30000);
    return true;
}

// ---- The library alone ------------------------------------------------------------------

void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
    }
}

// One step of KOBRIX2.dll alone at a period: the values a second reaching this process's
// callback and their lag from the OPC timestamp.
struct LibraryStep {
    double rate = 0, cpuBench = 0, cpuWine = 0;
    std::vector<double> lag;  // ms
};

LibraryStep MeasureLibrary(OpcSide& opc, long period, double seconds) {
    LibraryStep step;
    const bench::CpuProbe self(GetCurrentProcess(), "throughput_bench.exe"), wine(bench::WineserverDir());
    opc.SetPeriod(period);
    PumpFor(1500);
    g_observed = 0;
    g_callbackLag = &step.lag;
    const double cpu0 = self.Seconds(), wine0 = wine.Seconds();
    bench::Stopwatch clock;
    PumpFor(DWORD(seconds * 1000));
    const double wall = clock.Seconds();
    g_callbackLag = nullptr;
    step.rate = g_observed / wall;
    step.cpuBench = (self.Seconds() - cpu0) / wall;
    step.cpuWine = (wine.Seconds() - wine0) / wall;
    return step;
}

// What KOBRIX2.dll alone takes in: this process's own group on all the items, stepped like
// the bridge (periods: every one, or just `only`); `last` (if given) gets the last step.
bool RunLibrary(int items, double stepSeconds, long only, LibraryStep* last, std::string* why) {
    std::vector<std::string> ids;
    for (int n = 0; n < items; ++n) ids.push_back(bench::BigItem(n));
    const std::string me = bench::LinuxProcDir("throughput_bench.exe", bench::PrefixEntry());
    const SIZE_T before = bench::LinuxStatusBytes(me, "RssAnon");
    OpcSide opc;
    if (!opc.Start(items, ids, why)) return false;
    PumpFor(3000);  // the first values
    const SIZE_T after = bench::LinuxStatusBytes(me, "RssAnon");
    if (only == 0 && before > 0 && after > before)
        std::printf(
            "  library: %d items in one group: %.0f bytes/item more resident anonymous memory (Linux RssAnon)\n", items,
            double(after - before) / items);
    std::vector<long> periods(std::begin(kPeriodsMs), std::end(kPeriodsMs));
    if (only != 0) periods = {only};
    for (long period : periods) {
        if (only == 0 && period > stepSeconds * 500) continue;  // at least two changes in a step
        const LibraryStep s = MeasureLibrary(opc, period, stepSeconds);
        const double nominal = items * 1000.0 / std::max(period, long(kRateMs));
        std::printf(
            "  library   period %5ld ms: nominal %8.0f/s  received %8.0f/s (%5.1f%%)  lag p50 %7.1f p99 %7.1f"
            " ms  cpu bench %.2f wineserver %.2f\n",
            period, nominal, s.rate, 100 * s.rate / nominal, bench::Percentile(s.lag, 50), bench::Percentile(s.lag, 99),
            s.cpuBench, s.cpuWine);
        std::fflush(stdout);
        if (last != nullptr) *last = s;
        if (s.rate < 0.5 * nominal) break;
    }
    opc.SetPeriod(kQuietPeriodMs);
    return true;
}

std::vector<int> ParseList(const char* text) {
    std::vector<int> out;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        if (int n = std::atoi(part.c_str()); n >= 1 && n <= 4) out.push_back(n);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int items = 10000, hot = 0;
    std::vector<int> connectionCounts = {1, 4};
    double stepSeconds = 6;
    bool bareOnly = false, libraryOnly = false, idleTab = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--items")
            items = std::max(4, std::atoi(argv[i + 1]));
        else if (a == "--hot")
            hot = std::atoi(argv[i + 1]);
        else if (a == "--connections")
            connectionCounts = ParseList(argv[i + 1]);
        else if (a == "--step-seconds")
            stepSeconds = std::max(2.0, std::atof(argv[i + 1]));
        else if (a == "--bare-only")
            bareOnly = std::atoi(argv[i + 1]) != 0;
        else if (a == "--library-only")
            libraryOnly = std::atoi(argv[i + 1]) != 0;
        else if (a == "--idle-tab")
            idleTab = std::atoi(argv[i + 1]) != 0;
    }
    if (connectionCounts.empty()) connectionCounts = {1};
    const int stride = hot > 0 && hot < items ? items / hot : 1;
    const int links = items / stride;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                         EOAC_NONE, nullptr);
    std::printf(
        "throughput_bench: %d items Big.T*, a hot link on %d of them, group rate %lu ms, %.0f s a step"
        " (machine shared: figures are noisy)\n",
        items, links, kRateMs, stepSeconds);
    std::fflush(stdout);

    std::string why;
    if (libraryOnly) {
        if (!RunLibrary(items, stepSeconds, 0, nullptr, &why)) std::printf("library run failed: %s\n", why.c_str());
        return why.empty() ? 0 : 1;
    }
    for (int c : connectionCounts) {
        BareRun bare;
        if (!RunBare(c, links, stepSeconds, &bare, &why)) {
            std::printf("bare server, %d topic(s): failed: %s\n", c, why.c_str());
            return 1;
        }
        std::printf(
            "bare DDEML server, %d topic(s), %d links (started in %.1f s): posted %ld in %.1f s; received %ld"
            " = %.0f advises/s unpaced  cpu server %.2f bench %.2f wineserver %.2f\n",
            c, links, bare.linkSeconds, bare.posted, bare.serverSeconds, bare.advises, bare.rate(), bare.serverCpu,
            bare.benchCpu, bare.wineCpu);
        std::fflush(stdout);
        if (bareOnly) continue;

        BridgeRun bridge;
        if (!RunBridge(c, items, stride, idleTab, stepSeconds, &bridge, &why)) {
            std::printf("bridge, %d connection(s): failed: %s\n", c, why.c_str());
            return 1;
        }
        double best = 0;
        const Step* over = nullptr;  // the first step that offered more than the bare rate
        for (const Step& s : bridge.steps) {
            best = std::max(best, s.rate());
            if (over == nullptr && s.nominal() > bare.rate()) over = &s;
        }
        std::printf("summary, %d connection(s), %d items, %d hot links:\n", c, items, links);
        std::printf(
            "  most values absorbed without a growing backlog: %.0f/s (target for one connection >= 20000:"
            " %s)\n",
            bridge.maxAbsorbed, bridge.maxAbsorbed >= 20000 ? "met" : "NOT met");
        std::printf("  advises/s delivered: bridge best %.0f, bare unpaced %.0f, ratio %.3f\n", best, bare.rate(),
                    bare.rate() > 0 ? best / bare.rate() : 0);
        if (over != nullptr)
            std::printf(
                "  advises due %.0f/s > bare %.0f/s: bridge delivered %.0f/s = %.3f x bare (target >= 0.9: %s)\n",
                over->nominal(), bare.rate(), over->rate(), over->rate() / bare.rate(),
                over->rate() >= 0.9 * bare.rate() ? "met" : "NOT met");
        if (bridge.maxAbsorbed > 0)
            std::printf(
                "  latency OPC timestamp -> DDE client at %.0f OPC values/s: p50 %.1f ms  p99 %.1f ms (target p99 <= "
                "10:"
                " %s)\n",
                bridge.half.offered(), bench::Percentile(bridge.half.lag, 50), bench::Percentile(bridge.half.lag, 99),
                bench::Percentile(bridge.half.lag, 99) <= 10 ? "met" : "NOT met");
        std::fflush(stdout);
        // What Wine itself takes at this size, in this run: the library alone at the same
        // period (the OPC server to a callback), and a bare DDEML post with these links,
        // one after another for every link of a batch.
        LibraryStep alone;
        if (bridge.maxAbsorbed > 0 && RunLibrary(items, 2 * stepSeconds, bridge.half.periodMs, &alone, &why)) {
            const double postUs = bare.rate() > 0 ? 1e6 / bare.rate() : 0;
            std::printf(
                "  floors at this size: KOBRIX2 alone, timestamp -> its callback, p50 %.1f ms p99 %.1f ms; a bare"
                " DDEML post with %d links %.0f us, all of them one after another %.1f ms\n",
                bench::Percentile(alone.lag, 50), bench::Percentile(alone.lag, 99), links, postUs,
                links * postUs / 1000);
            std::fflush(stdout);
        }
    }
    CoUninitialize();
    return 0;
}
