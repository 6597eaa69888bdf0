// qvdde: a DDE client for the command line. Connects to a service and topic, pokes,
// requests, starts hot links and prints every value as it arrives, one line each,
// flushed at once (so that a program reading through a pipe sees it at once).
//
// Output lines (stdout):
//   connected <service> <topic>
//   poke <item> ok
//   request <item> <kind> <value>                        (a one-shot request)
//   advise <item> started format <name>
//   value <seq> <hh:mm:ss.mmm> <item> <kind> <value>      (kind: number, text, bool, int, raw)
//   done <n> values
// Refusals go to stderr as "qvdde: ..." and end the program with a non-zero code:
//   2 usage, 3 no conversation, 4 advise start refused, 5 poke not processed,
//   6 request answered with no data, 7 fewer values than --count before --seconds ran out.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

enum Exit { kOk = 0, kUsage = 2, kNoConversation = 3, kAdviseRefused = 4, kPokeRefused = 5, kNoData = 6, kShort = 7 };

struct Poke {
    std::string item, value, kind;
};

struct Options {
    std::string service = "Quorvane", topic, format = "XlTable";
    std::vector<std::string> advise, request;
    std::vector<Poke> pokes;
    double seconds = -1;
    long count = -1;
    bool wineFix = qvdde::RunningOnWine();
    bool ackReq = false;
};

volatile LONG g_stop = 0;

BOOL WINAPI OnConsoleCtrl(DWORD) {
    InterlockedExchange(&g_stop, 1);
    return TRUE;
}

void Out(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stdout, fmt, ap);
    va_end(ap);
    std::fflush(stdout);
}

int Fail(int code, const char* fmt, ...) {
    std::fputs("qvdde: ", stderr);
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(stderr, fmt, ap);
    va_end(ap);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    return code;
}

void Usage() {
    std::fputs(
        "usage: qvdde [--service NAME] --topic TOPIC [--format XlTable|CF_TEXT|N] [--text]\n"
        "             [--poke ITEM VALUE --as number|text|bool|int]... [--request ITEM]...\n"
        "             [--advise ITEM]... [--count N] [--seconds S] [--ackreq] [--no-wine-fix]\n"
        "Pokes run first, then requests, then hot links, printed until --count values\n"
        "or --seconds have passed (or Ctrl+C). --format defaults to XlTable; --text is\n"
        "--format CF_TEXT, as text clients ask (values and pokes are then plain text).\n",
        stderr);
}

// Parses the command line; on error prints why and returns false.
bool Parse(int argc, char** argv, Options* o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](std::string* v) {
            if (i + 1 >= argc) return false;
            *v = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--service" && next(&o->service)) continue;
        if (a == "--topic" && next(&o->topic)) continue;
        if (a == "--format" && next(&o->format)) continue;
        if (a == "--text") {
            o->format = "CF_TEXT";
            continue;
        }
        if (a == "--advise" && next(&v)) {
            o->advise.push_back(v);
            continue;
        }
        if (a == "--request" && next(&v)) {
            o->request.push_back(v);
            continue;
        }
        if (a == "--poke" && i + 2 < argc) {
            o->pokes.push_back({argv[i + 1], argv[i + 2], "number"});
            i += 2;
            continue;
        }
        if (a == "--as" && next(&v)) {
            if (o->pokes.empty()) {
                Fail(kUsage, "--as must follow a --poke");
                return false;
            }
            o->pokes.back().kind = v;
            continue;
        }
        if (a == "--seconds" && next(&v)) {
            o->seconds = std::atof(v.c_str());
            continue;
        }
        if (a == "--count" && next(&v)) {
            o->count = std::atol(v.c_str());
            continue;
        }
        if (a == "--ackreq") {
            o->ackReq = true;
            continue;
        }
        if (a == "--no-wine-fix") {
            o->wineFix = false;
            continue;
        }
        if (a == "--help" || a == "-h") return false;
        Fail(kUsage, "unknown or incomplete option: %s", a.c_str());
        return false;
    }
    if (o->topic.empty()) {
        Fail(kUsage, "--topic is required");
        return false;
    }
    return true;
}

std::string ClockText(uint64_t filetime) {
    FILETIME utc{DWORD(filetime), DWORD(filetime >> 32)}, local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &st);
    char b[32];
    std::snprintf(b, sizeof b, "%02u:%02u:%02u.%03u", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    return b;
}

// "<kind> <value>" for one received block. A one-cell XlTable block is decoded whatever
// its label (Quorvane labels its XlTable data with the format asked for); other CF_TEXT
// data is shown as text up to its NUL, control characters as \xNN; anything else in hex.
std::string Describe(UINT format, const std::vector<uint8_t>& data) {
    if (auto cell = qvdde::DecodeXlTable(data))
        return std::string(qvdde::KindName(cell->kind)) + " " + qvdde::ValueText(*cell);
    if ((format & 0xFFFF) == CF_TEXT) {
        std::string text = "text ";
        for (size_t i = 0; i < data.size() && data[i]; ++i) {
            char esc[8];
            if (data[i] < 0x20 || data[i] == 0x7F) {
                std::snprintf(esc, sizeof esc, "\\x%02X", data[i]);
                text += esc;
            } else {
                text += char(data[i]);
            }
        }
        return text;
    }
    return "raw " + std::to_string(data.size()) + " bytes: " + qvdde::HexBytes(data.data(), data.size());
}

// Pokes, requests and hot links on one conversation; returns the exit code.
int Run(const Options& o) {
    std::string why;
    auto format = qvdde::ParseFormat(o.format, &why);
    if (!format) return Fail(kUsage, "--format %s: %s", o.format.c_str(), why.c_str());

    qvdde::DdeClient client(o.wineFix);
    if (!client.ok()) return Fail(kNoConversation, "DdeInitialize failed: 0x%04X", client.initError());
    UINT err = 0;
    auto conv = client.Connect(o.service, o.topic, &err);
    if (!conv)
        return Fail(kNoConversation, "no conversation with %s|%s: %s (0x%04X)", o.service.c_str(), o.topic.c_str(),
                    qvdde::ErrorName(err), err);
    Out("connected %s %s\n", o.service.c_str(), o.topic.c_str());

    for (const Poke& p : o.pokes) {
        std::vector<uint8_t> block;
        if (*format == CF_TEXT) {
            block.assign(p.value.begin(), p.value.end());
            block.push_back(0);
        } else {
            auto cell = qvdde::ParseCell(p.kind, p.value, &why);
            if (!cell)
                return Fail(kUsage, "--poke %s %s --as %s: %s", p.item.c_str(), p.value.c_str(), p.kind.c_str(),
                            why.c_str());
            block = qvdde::EncodeXlTable(*cell);
        }
        qvdde::Result r = conv->Poke(p.item, *format, block);
        if (!r.ok)
            return Fail(kPokeRefused, "poke %s %s refused: %s (0x%04X)", p.item.c_str(), p.value.c_str(),
                        qvdde::ErrorName(r.error), r.error);
        Out("poke %s ok status 0x%04lX\n", p.item.c_str(), (unsigned long)r.flags);
    }

    for (const std::string& item : o.request) {
        std::vector<uint8_t> data;
        qvdde::Result r = conv->Request(item, *format, &data);
        if (!r.ok)
            return Fail(kNoData, "request %s answered with no data: %s (0x%04X)", item.c_str(),
                        qvdde::ErrorName(r.error), r.error);
        Out("request %s %s\n", item.c_str(), Describe(*format, data).c_str());
    }

    for (const std::string& item : o.advise) {
        qvdde::Result r = conv->StartAdvise(item, *format, 5000, o.ackReq);
        if (!r.ok)
            return Fail(kAdviseRefused, "advise start on %s refused: %s (0x%04X)", item.c_str(),
                        qvdde::ErrorName(r.error), r.error);
        Out("advise %s started format %s\n", item.c_str(), qvdde::FormatName(*format).c_str());
    }
    if (o.advise.empty()) return kOk;

    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG end = o.seconds >= 0 ? start + ULONGLONG(o.seconds * 1000) : ~0ULL;
    long received = 0;
    while (!g_stop && (o.count < 0 || received < o.count)) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        const DWORD wait = DWORD(end - now < 200 ? end - now : 200);  // wake up now and then for Ctrl+C
        auto a = client.NextAdvise(wait);
        if (!a) continue;
        ++received;
        Out("value %llu %s %s %s\n", (unsigned long long)a->seq, ClockText(a->received).c_str(), a->item.c_str(),
            Describe(a->format, a->data).c_str());
    }
    Out("done %ld values\n", received);
    if (o.count >= 0 && received < o.count) return Fail(kShort, "only %ld of %ld values arrived", received, o.count);
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, &o)) {
        Usage();
        return kUsage;
    }
    return Run(o);
}
