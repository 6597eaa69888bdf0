// dde_bare_server: the smallest honest DDEML server, the yardstick for the bridge.
// It serves topics T1..T<c>, each with items I0..I<k-1> (or, with --distinct-items 1,
// the Big branch's names Big.T00000.. numbered on across the topics, so that no two topics
// share an item name and a client of both this server and the bridge makes no more atoms)
// holding a number, answers advise
// starts, advise requests and requests with one-cell XlTable blocks labelled with the
// format asked for, and, once the wanted number of hot links exists, posts a given
// number of advises round-robin over its (topic, item) pairs, pumping messages after each post, the
// way the bridge posts one advise per data change (or as many as it can in --max-seconds).
// Names are found by string handle in hash maps, as the bridge finds them, so that the
// server's own lookups cost the same at 10 links and at 10,000. Paced, it posts --per-tick advises at
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
//                        [--distinct-items 0|1] [--max-seconds S] [--link-wait-ms W]
#include <windows.h>
#include <ddeml.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

struct Server {
    DWORD inst = 0;
    HSZ service = nullptr;
    std::vector<HSZ> topics;
    std::vector<std::vector<HSZ>> items;      // [topic][item]
    std::vector<std::vector<double>> values;  // [topic][item]
    std::unordered_map<HSZ, int> topicIndex;
    std::vector<std::unordered_map<HSZ, int>> itemIndex;  // per topic
    int links = 0;
    bool disconnected = false;

    int TopicIndex(HSZ hsz) const {
        auto it = topicIndex.find(hsz);
        return it != topicIndex.end() ? it->second : -1;
    }
    int ItemIndex(int t, HSZ hsz) const {
        if (t < 0) return -1;
        auto it = itemIndex[t].find(hsz);
        return it != itemIndex[t].end() ? it->second : -1;
    }
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
            if (s.ItemIndex(s.TopicIndex(hsz1), hsz2) < 0) return nullptr;
            ++s.links;
            return reinterpret_cast<HDDEDATA>(TRUE);
        case XTYP_ADVSTOP:
            --s.links;
            return nullptr;
        case XTYP_ADVREQ:
        case XTYP_REQUEST: {
            int t = s.TopicIndex(hsz1), i = s.ItemIndex(t, hsz2);
            return t < 0 || i < 0 ? nullptr : s.Block(t, i, hsz2, fmt);
        }
        case XTYP_POKE: {
            int t = s.TopicIndex(hsz1), i = s.ItemIndex(t, hsz2);
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
    bool endOnDisconnect = false, distinct = false;
    double maxSeconds = 0;
    long linkWaitMs = 60000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--service")
            service = v;
        else if (a == "--topics")
            topicCount = std::atoi(v.c_str());
        else if (a == "--items")
            itemCount = std::atoi(v.c_str());
        else if (a == "--links")
            wantLinks = std::atoi(v.c_str());
        else if (a == "--posts")
            posts = std::atol(v.c_str());
        else if (a == "--tick-us")
            tickUs = std::atol(v.c_str());
        else if (a == "--per-tick")
            perTick = std::atol(v.c_str());
        else if (a == "--linger-ms")
            lingerMs = std::atol(v.c_str());
        else if (a == "--end-on-disconnect")
            endOnDisconnect = v == "1";
        else if (a == "--distinct-items")
            distinct = v == "1";
        else if (a == "--max-seconds")
            maxSeconds = std::atof(v.c_str());
        else if (a == "--link-wait-ms")
            linkWaitMs = std::atol(v.c_str());
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
    s.itemIndex.resize(size_t(topicCount));
    for (int t = 0; t < topicCount; ++t) {
        const std::string topic = "T" + std::to_string(t + 1);
        s.topics.push_back(DdeCreateStringHandleA(s.inst, topic.c_str(), CP_WINANSI));
        s.topicIndex.emplace(s.topics.back(), t);
        s.values.emplace_back(itemCount, 0.0);
        s.items.emplace_back();
        for (int i = 0; i < itemCount; ++i) {
            char big[32];
            std::snprintf(big, sizeof big, "Big.T%05d", t * itemCount + i);
            const std::string name = distinct ? std::string(big) : "I" + std::to_string(i);
            // Shared names: one handle per name (DDEML hands out the same one anyway).
            HSZ h = (!distinct && t > 0) ? s.items[0][i] : DdeCreateStringHandleA(s.inst, name.c_str(), CP_WINANSI);
            s.items[t].push_back(h);
            s.itemIndex[t].emplace(h, i);
        }
    }
    DdeNameService(s.inst, s.service, nullptr, DNS_REGISTER);
    Say("ready\n");

    // Wait for the client's hot links (a minute by default).
    const ULONGLONG giveUp = GetTickCount64() + ULONGLONG(linkWaitMs);
    while (s.links < wantLinks && GetTickCount64() < giveUp) PumpFor(20);
    Say("links %d\n", s.links);

    LARGE_INTEGER freq, t0, t1, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    const LONGLONG stopAt = maxSeconds > 0 ? t0.QuadPart + LONGLONG(maxSeconds * double(freq.QuadPart)) : 0;
    long j = 0;
    for (; j < posts; ++j) {
        if (stopAt != 0 && (j & 15) == 0) {
            QueryPerformanceCounter(&now);
            if (now.QuadPart >= stopAt) break;
        }
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
        DdePostAdvise(s.inst, s.topics[t], s.items[t][i]);
        PumpAll();
    }
    QueryPerformanceCounter(&t1);
    Say("posted %ld in %.6f s\n", j, double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart));

    // Serve on for the linger time (or until the client goes, if asked).
    const ULONGLONG lingerEnd = GetTickCount64() + ULONGLONG(lingerMs);
    while (!(endOnDisconnect && s.disconnected) && GetTickCount64() < lingerEnd) PumpFor(20);
    DdeNameService(s.inst, s.service, nullptr, DNS_UNREGISTER);
    DdeUninitialize(s.inst);
    Say("done\n");
    return 0;
}
