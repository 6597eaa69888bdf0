// startup_bench: quorvane.exe started from a stored configuration of 1,000, 10,000 and
// 50,000 items (one connection to the simulation server's Big branch, group rate 1000 ms),
// each size in a fresh program. From the process start it measures:
//   listed  - the list holds every row (LVM_GETITEMCOUNT, asked across the process),
//   window  - the main window is visible,
//   value   - this process, a DDE client that starts a hot link on the last item once the
//             rows are listed, has that item's first value (a number); should the
//             program refuse the conversation, the last row's value cell is read instead
//             and the refusal printed (DDE names are atoms: at most 16,384 in a table),
// then the program's private bytes (PrivateUsage) minus those of the program started with
// no configuration, per item, and the time WM_CLOSE takes (save and teardown).
// The Big leaves are kept still (Control.BigPeriodMs one hour) so that start-up alone is
// measured. In the same run kobrix_bench.exe gives the library's own cost of adding
// 10,000 items one by one, and the ratios against the targets are printed beside.
//
// Usage: startup_bench [--sizes N[,N...]] [--no-kobrix 1]
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "tests/win/support/app.h"
#include "tests/win/support/tools.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

const UINT kFormat = CF_SYLK;
const long kQuietPeriodMs = 3600000;
const DWORD kBoundMs = 1200000;  // 20 minutes for any one phase

kobrix::Binding g_opc;

struct Run {
    int items = 0;
    bool valueByDde = true;  // false: DDE refused the conversation, the list cell was read
    double listed = -1, window = -1, value = -1, close = -1;
    SIZE_T privateBytes = 0;
};

// The program's private bytes: PrivateUsage, or under Wine (which answers 0 for another
// process) Linux's resident anonymous memory of it, found by its private folder.
bool g_linuxMemory = false;
SIZE_T MemoryOf(qvtest::QuorvaneApp& app) {
    if (SIZE_T bytes = bench::PrivateBytes(app.process().handle())) return bytes;
    const std::string& path = app.folder().path();
    g_linuxMemory = true;
    return bench::LinuxStatusBytes(bench::LinuxProcDir(path.substr(path.find_last_of('\\') + 1)), "RssAnon");
}

// The text of one list cell, read in the program's process.
std::string Cell(HANDLE process, HWND list, int row, int column) {
    const SIZE_T size = sizeof(LVITEMA) + 256;
    char* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    if (remote == nullptr) return {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote + sizeof(LVITEMA);
    item.cchTextMax = 256;
    char text[257] = {};
    SIZE_T done = 0;
    DWORD_PTR n = 0;
    if (WriteProcessMemory(process, remote, &item, sizeof item, &done) &&
        WriteProcessMemory(process, remote + sizeof item, text, 1, &done) &&
        SendMessageTimeoutA(list, LVM_GETITEMTEXTA, row, LPARAM(remote), SMTO_ABORTIFHUNG, 5000, &n))
        ReadProcessMemory(process, remote + sizeof item, text, 256, &done);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

int ListCount(HWND list) {
    DWORD_PTR n = 0;
    if (!list || !SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &n)) return -1;
    return int(n);
}

// The empty program's private bytes, once its window shows.
bool EmptyProgram(SIZE_T* bytes, std::string* why) {
    qvtest::QuorvaneApp app;
    if (!bench::Ok(app.Start(std::string(), 60000), why)) return false;
    while (!IsWindowVisible(app.mainWindow()) && app.process().running()) Sleep(20);
    Sleep(1000);
    *bytes = MemoryOf(app);
    std::string ignored;
    bench::Ok(app.Close(60000), &ignored);
    return true;
}

bool StartUp(int items, Run* run, std::string* why) {
    run->items = items;
    qvtest::ConfigConnection conn;
    conn.alias = "S";
    for (int n = 0; n < items; ++n) conn.items.push_back(bench::BigItem(n));
    const std::string last = conn.items.back();
    const std::string text = qvtest::ConfigText({conn});

    qvtest::QuorvaneApp app;
    bench::Stopwatch clock;  // the folder is copied within it: a few milliseconds
    if (!bench::Ok(app.Start(text, kBoundMs), why)) return false;
    HWND list = app.Control(IDC_ITEM_LIST);
    while ((run->listed < 0 || run->window < 0) && clock.Seconds() < kBoundMs / 1000.0) {
        if (!app.process().running()) {
            *why = "the program ended during start-up";
            return false;
        }
        if (run->window < 0 && IsWindowVisible(app.mainWindow())) run->window = clock.Seconds();
        if (run->listed < 0 && ListCount(list) == items) run->listed = clock.Seconds();
        Sleep(10);
    }
    if (run->listed < 0 || run->window < 0) {
        *why = "not listed and shown within the bound";
        return false;
    }
    qvdde::DdeClient client;
    UINT err = 0;
    auto conv = client.Connect("Quorvane", "S", &err);
    std::string refusal;
    if (!conv)
        refusal = std::string("no conversation on topic S: ") + qvdde::ErrorName(err);
    else if (!conv->StartAdvise(last, kFormat, 60000).ok)
        refusal = "advise start on " + last + " refused";
    if (!refusal.empty()) {
        // Noted, and the value is taken from the list instead.
        std::printf("  %6d items: DDE FAILED (%s); the last row's value cell is read instead\n", items,
                    refusal.c_str());
        run->valueByDde = false;
        while (run->value < 0 && clock.Seconds() < kBoundMs / 1000.0) {
            if (!Cell(app.process().handle(), list, items - 1, 1).empty())
                run->value = clock.Seconds();
            else
                Sleep(20);
        }
    }
    while (run->value < 0 && clock.Seconds() < kBoundMs / 1000.0) {
        auto a = client.NextAdvise(1000);
        if (!a || a->item != last) continue;
        auto cell = qvdde::DecodeXlTable(a->data);
        if (cell && cell->kind == qvdde::CellKind::Number) run->value = clock.Seconds();
    }
    if (run->value < 0) {
        *why = "no value of " + last + " within the bound";
        return false;
    }
    conv.reset();
    Sleep(1000);
    run->privateBytes = MemoryOf(app);
    bench::Stopwatch closing;
    std::string closeWhy;
    if (bench::Ok(app.Close(kBoundMs), &closeWhy))
        run->close = closing.Seconds();
    else
        std::printf("  note: %s\n", closeWhy.c_str());
    return true;
}

// kobrix_bench.exe run to its end: its 10,000 time, or -1.
double KobrixTenThousand() {
    qvtest::ToolRun r = qvtest::RunTool("kobrix_bench", {}, kBoundMs);
    double seconds = -1;
    for (const std::string& line : r.out) {
        std::printf("  | %s\n", line.c_str());
        const size_t at = line.find("10,000 items:");
        if (at != std::string::npos) seconds = std::atof(line.c_str() + at + 13);
    }
    if (!r.finished || r.exitCode != 0) std::printf("  kobrix_bench: %s\n", r.Describe().c_str());
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1000, 10000, 50000};
    bool kobrix = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--sizes") {
            sizes.clear();
            std::stringstream in(argv[i + 1]);
            std::string part;
            while (std::getline(in, part, ','))
                if (int n = std::atoi(part.c_str()); n >= 1 && n <= 100000) sizes.push_back(n);
        } else if (a == "--no-kobrix") {
            kobrix = std::atoi(argv[i + 1]) == 0;
        }
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                         EOAC_NONE, nullptr);
    std::printf("startup_bench: stored configurations of Big.T* items, one connection, group rate 1000 ms\n");
    std::fflush(stdout);

    // The library's own cost first: kobrix_bench sets the branch size itself and back to 0.
    const double kobrixSeconds = kobrix ? KobrixTenThousand() : -1;

    if (!g_opc.Load()) {
        std::printf("startup_bench: %s\n", g_opc.Error().c_str());
        return 1;
    }
    int maxSize = 0;
    for (int n : sizes) maxSize = std::max(maxSize, n);
    const int server = g_opc.OpcConnectServer("", "Quorvane.Simulation.1", 0);
    if (server == -1 || !bench::WriteControl(g_opc, server, "Control.BigBranchSize", maxSize) ||
        !bench::WriteControl(g_opc, server, "Control.BigPeriodMs", kQuietPeriodMs)) {
        std::printf("startup_bench: cannot reach Quorvane.Simulation.1 and its control tags\n");
        return 1;
    }
    std::string why;
    SIZE_T empty = 0;
    if (!EmptyProgram(&empty, &why)) {
        std::printf("startup_bench: the empty program did not start: %s\n", why.c_str());
        return 1;
    }
    std::printf("  empty program: %.1f MB private%s\n", empty / 1048576.0,
                g_linuxMemory ? " (Linux RssAnon: Wine gives no PrivateUsage of another process)" : "");
    std::vector<Run> runs;
    int rc = 0;
    for (int n : sizes) {
        Run run;
        if (!StartUp(n, &run, &why)) {
            std::printf("  %6d items: failed: %s\n", n, why.c_str());
            rc = 1;
            break;
        }
        const double perItem = run.privateBytes > empty ? double(run.privateBytes - empty) / n : 0;
        std::printf(
            "  %6d items: listed %7.2f s (%.2f ms/item)  window %7.2f s  last item's first value %7.2f s%s"
            "  private %.1f MB = %.0f bytes/item  close %.2f s\n",
            n, run.listed, 1000 * run.listed / n, run.window, run.value, run.valueByDde ? "" : " (list cell, no DDE)",
            run.privateBytes / 1048576.0, perItem, run.close);
        std::fflush(stdout);
        runs.push_back(run);
    }
    bench::WriteControl(g_opc, server, "Control.BigPeriodMs", 0);
    bench::WriteControl(g_opc, server, "Control.BigBranchSize", 0);
    g_opc.OpcDisconnectServer(server);

    std::printf("summary:\n");
    const Run* ten = nullptr;
    const Run* fifty = nullptr;
    for (const Run& r : runs) {
        if (r.items == 10000) ten = &r;
        if (r.items == 50000) fifty = &r;
    }
    if (kobrixSeconds > 0) std::printf("  kobrix_bench 10,000 items: %.2f s\n", kobrixSeconds);
    if (ten != nullptr && kobrixSeconds > 0)
        std::printf("  start-up 10,000 / kobrix 10,000 = %.2f / %.2f = %.2f (target <= 1.3: %s)\n", ten->window,
                    kobrixSeconds, ten->window / kobrixSeconds, ten->window <= 1.3 * kobrixSeconds ? "met" : "NOT met");
    if (ten != nullptr && fifty != nullptr)
        std::printf("  50,000 finished; 50,000 / 10,000 = %.2f (linear: 5)\n", fifty->window / ten->window);
    if (fifty != nullptr && fifty->privateBytes > empty) {
        const double perItem = double(fifty->privateBytes - empty) / 50000;
        std::printf("  private bytes per item at 50,000: %.0f (target <= 2048: %s)\n", perItem,
                    perItem <= 2048 ? "met" : "NOT met");
    }
    CoUninitialize();
    return rc;
}
