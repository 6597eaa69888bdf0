// dde_bare_server: the smallest honest DDEML server, the yardstick for the bridge.
// It serves topics T1..T<c>, each with items I0..I<k-1> holding a number, answers advise
// starts, advise requests and requests with one-cell XlTable blocks labelled with the
// format asked for, and, once the wanted number of hot links exists, posts a given
// number of advises round-robin over its (topic, item) pairs, pumping messages after each post, the
// way the bridge posts one advise per data change. Paced, it posts --per-tick advises at
// every tick of --tick-us microseconds (as an OPC group delivers its changes at each
// update); unpaced (tick 0), as fast as it can.
//
// Each posted value is the time of the change: the UTC wall clock in milliseconds since
// 1601 (FILETIME / 10^4), so that a client can compute the delay from change to receipt
// in the same clock.
//
// stdout: "ready", "links <n>", "posted <n> in <seconds> s", "done".
// Usage: dde_bare_server [--service S] [--topics C] [--items K] [--links L] [--posts N]
//                        [--tick-us U] [--per-tick P] [--linger-ms M] [--end-on-disconnect 0|1]
#include <windows.h>
#include <ddeml.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

struct Server {
    DWORD inst = 0;
    HSZ service = nullptr;
    std::vector<HSZ> topics, items;
    std::vector<std::vector<double>> values;  // [topic][item]
    int links = 0;
    bool disconnected = false;

    static int Find(const std::vector<HSZ>& list, HSZ hsz) {
        for (size_t i = 0; i < list.size(); ++i)
            if (DdeCmpStringHandles(list[i], hsz) == 0) return int(i);
        return -1;
    }
    int TopicIndex(HSZ hsz) const { return Find(topics, hsz); }
    int ItemIndex(HSZ hsz) const { return Find(items, hsz); }
    HDDEDATA Block(int t, int i, HSZ item, UINT fmt) const {
        std::vector<uint8_t> b = qvdde::EncodeXlTable(qvdde::Cell::Number(values[t][i]));
        return DdeCreateDataHandle(inst, b.data(), DWORD(b.size()), 0, item, fmt, 0);
    }
};

Server g_server;

HDDEDATA CALLBACK Callback(UINT type, UINT fmt, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    Server& s = g_server;
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(s.TopicIndex(hsz1) >= 0);
    case XTYP_ADVSTART:
        if (s.TopicIndex(hsz1) < 0 || s.ItemIndex(hsz2) < 0) return nullptr;
        ++s.links;
        return reinterpret_cast<HDDEDATA>(TRUE);
    case XTYP_ADVSTOP:
        --s.links;
        return nullptr;
    case XTYP_ADVREQ:
    case XTYP_REQUEST: {
        int t = s.TopicIndex(hsz1), i = s.ItemIndex(hsz2);
        return t < 0 || i < 0 ? nullptr : s.Block(t, i, hsz2, fmt);
    }
    case XTYP_POKE: {
        int t = s.TopicIndex(hsz1), i = s.ItemIndex(hsz2);
        uint8_t buf[800];
        DWORD n = DdeGetData(data, buf, sizeof buf, 0);
        auto cell = qvdde::DecodeXlTable(buf, n);
        if (t < 0 || i < 0 || !cell || cell->kind != qvdde::CellKind::Number)
            return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
        s.values[t][i] = cell->number;
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    case XTYP_DISCONNECT:
        s.disconnected = true;
        return nullptr;
    default:
        return nullptr;
    }
}

void PumpAll() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        PumpAll();
        ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
    }
}

void Say(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string service = "QvBare";
    int topicCount = 1, itemCount = 4, wantLinks = 1;
    long posts = 1000, tickUs = 0, perTick = 1, lingerMs = 10000;
    bool endOnDisconnect = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--service") service = v;
        else if (a == "--topics") topicCount = std::atoi(v.c_str());
        else if (a == "--items") itemCount = std::atoi(v.c_str());
        else if (a == "--links") wantLinks = std::atoi(v.c_str());
        else if (a == "--posts") posts = std::atol(v.c_str());
        else if (a == "--tick-us") tickUs = std::atol(v.c_str());
        else if (a == "--per-tick") perTick = std::atol(v.c_str());
        else if (a == "--linger-ms") lingerMs = std::atol(v.c_str());
        else if (a == "--end-on-disconnect") endOnDisconnect = v == "1";
        else {
            std::fprintf(stderr, "dde_bare_server: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    if (itemCount < 1) itemCount = 1;
    if (topicCount < 1) topicCount = 1;
    if (perTick < 1) perTick = 1;

    Server& s = g_server;
    if (DdeInitializeA(&s.inst, Callback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0) !=
        DMLERR_NO_ERROR) {
        std::fprintf(stderr, "dde_bare_server: DdeInitialize failed\n");
        return 3;
    }
    s.service = DdeCreateStringHandleA(s.inst, service.c_str(), CP_WINANSI);
    for (int t = 0; t < topicCount; ++t) {
        s.topics.push_back(DdeCreateStringHandleA(s.inst, ("T" + std::to_string(t + 1)).c_str(), CP_WINANSI));
        s.values.emplace_back(itemCount, 0.0);
    }
    for (int i = 0; i < itemCount; ++i)
        s.items.push_back(DdeCreateStringHandleA(s.inst, ("I" + std::to_string(i)).c_str(), CP_WINANSI));
    DdeNameService(s.inst, s.service, nullptr, DNS_REGISTER);
    Say("ready\n");

    // Wait for the client's hot links (at most a minute).
    const ULONGLONG giveUp = GetTickCount64() + 60000;
    while (s.links < wantLinks && GetTickCount64() < giveUp) PumpFor(20);
    Say("links %d\n", s.links);

    LARGE_INTEGER freq, t0, t1, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    for (long j = 0; j < posts; ++j) {
        if (tickUs > 0 && j % perTick == 0) {
            // Paced: wait for this tick, serving messages meanwhile.
            const LONGLONG slot = t0.QuadPart + LONGLONG(double(j / perTick) * tickUs * freq.QuadPart / 1e6);
            for (;;) {
                PumpAll();
                QueryPerformanceCounter(&now);
                if (now.QuadPart >= slot) break;
                const LONGLONG leftMs = (slot - now.QuadPart) * 1000 / freq.QuadPart;
                if (leftMs > 1) MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(leftMs - 1), QS_ALLINPUT);
            }
        }
        const int pair = int(j % (long(topicCount) * itemCount));
        const int t = pair / itemCount, i = pair % itemCount;
        s.values[t][i] = double(qvdde::PreciseNow()) / 1e4;
        DdePostAdvise(s.inst, s.topics[t], s.items[i]);
        PumpAll();
    }
    QueryPerformanceCounter(&t1);
    Say("posted %ld in %.6f s\n", posts, double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart));

    // Serve on for the linger time (or until the client goes, if asked).
    const ULONGLONG lingerEnd = GetTickCount64() + ULONGLONG(lingerMs);
    while (!(endOnDisconnect && s.disconnected) && GetTickCount64() < lingerEnd) PumpFor(20);
    DdeNameService(s.inst, s.service, nullptr, DNS_UNREGISTER);
    DdeUninitialize(s.inst);
    Say("done\n");
    return 0;
}
