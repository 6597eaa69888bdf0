// addbranch_bench: "Add Branch" in the browser of the running program over a branch of
// 1,000 and of 10,000 leaves (or of as many as the second argument says, up to 100,000):
// the simulation server's Big branch, sized with its Control.BigBranchSize tag, pressed
// through the real dialog. Prints the time each run takes until the last row is in the
// list, their ratio (the cost should grow linearly: at most 12 for ten times the leaves),
// and the time until the last added row shows its first value. Each size runs in a fresh
// program, so that neither run inherits the other's rows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/win/road/road_env.h"
#include "tests/win/support/tools.h"

namespace {

struct Run {
    bool ok = false;
    double addSeconds = 0;    // press -> last row in the list
    double valueSeconds = 0;  // press -> last row shows a value
    std::string why;
};

double Since(LARGE_INTEGER t0) {
    LARGE_INTEGER now, freq;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&freq);
    return double(now.QuadPart - t0.QuadPart) / double(freq.QuadPart);
}

// The value cell of one row, read in the program's process.
std::string Cell(HANDLE process, HWND list, int row, int column) {
    road::RemoteBuffer remote(process, sizeof(LVITEMA) + 256);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.get() + sizeof(LVITEMA);
    item.cchTextMax = 256;
    const char zero = 0;
    remote.Write(0, &item, sizeof item);
    remote.Write(sizeof item, &zero, 1);
    DWORD_PTR n = 0;
    SendMessageTimeoutA(list, LVM_GETITEMTEXTA, row, LPARAM(remote.get()), SMTO_ABORTIFHUNG, 60000, &n);
    char text[256] = {};
    remote.Read(sizeof(LVITEMA), text, sizeof text - 1);
    return text;
}

Run AddBranch(int leaves, DWORD updateRate) {
    Run run;
    road::Program app;
    // The connection carries the size tag, so that it can be set through the program.
    qvtest::ConfigConnection bench = road::Connection("Bench", {"Control.BigBranchSize"});
    bench.updateRate = updateRate;
    ::testing::AssertionResult launched = app.Launch({bench});
    if (!launched) {
        run.why = launched.message();
        return run;
    }
    qvtest::ToolRun poke = qvtest::RunTool(
        "qvdde", {"--topic", "Bench", "--poke", "Control.BigBranchSize", std::to_string(leaves), "--as", "number"},
        30000);
    if (!poke.finished || poke.exitCode != 0) {
        run.why = "cannot size the branch: " + poke.Describe();
        return run;
    }
    HWND dlg = app.OpenBrowser();
    if (dlg == nullptr) {
        run.why = "no browser";
        return run;
    }
    road::RemoteTree tree(app.processHandle(), GetDlgItem(dlg, 1004));
    HTREEITEM big = tree.Find({"Big"});
    if (big == nullptr || !tree.Select(big) || !IsWindowEnabled(GetDlgItem(dlg, 1006))) {
        run.why = "no Big branch to select; root shows";
        for (const std::string& name : tree.ChildTexts(tree.Root())) run.why += " " + name;
        run.why += "; size tag reads " + Cell(app.processHandle(), app.Control(IDC_ITEM_LIST), 0, 1);
        return run;
    }
    HWND list = app.Control(IDC_ITEM_LIST);
    const int rows = leaves + 1;

    LARGE_INTEGER t0;
    QueryPerformanceCounter(&t0);
    road::Press(dlg, 1006);
    if (!qvtest::WaitUntil([&] { return road::ListCount(list) == rows; }, 600000)) {
        run.why = "only " + std::to_string(road::ListCount(list)) + " rows after 600 s";
        return run;
    }
    run.addSeconds = Since(t0);
    if (!qvtest::WaitUntil([&] { return !Cell(app.processHandle(), list, rows - 1, 1).empty(); }, 120000)) {
        run.why = "the last row shows no value";
        return run;
    }
    run.valueSeconds = Since(t0);
    road::Press(dlg, IDCANCEL);
    road::WaitGone(dlg, 60000);
    app.Close(120000);
    run.ok = true;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    // The group's update rate: the program's default, or another one given (a long one
    // keeps the server's data changes of the rows already added out of the measurement).
    const DWORD updateRate = argc > 1 ? DWORD(std::strtoul(argv[1], nullptr, 10)) : 1000;
    std::printf("group update rate %lu ms\n", static_cast<unsigned long>(updateRate));
    // A second number replaces the larger branch (e.g. 50000); the ratio is then per leaf.
    const int larger = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int sizes[2] = {1000, larger >= 1000 && larger <= 100000 ? larger : 10000};
    Run runs[2];
    for (int i = 0; i < 2; ++i) {
        runs[i] = AddBranch(sizes[i], updateRate);
        if (!runs[i].ok) {
            std::printf("add branch %d leaves: failed: %s\n", sizes[i], runs[i].why.c_str());
            return 1;
        }
        std::printf(
            "add branch %5d leaves: %.2f s until the last row is listed (%.3f ms per item), "
            "%.2f s until it shows its first value\n",
            sizes[i], runs[i].addSeconds, 1000.0 * runs[i].addSeconds / sizes[i], runs[i].valueSeconds);
        std::fflush(stdout);
    }
    const double ratio = runs[1].addSeconds / runs[0].addSeconds;
    if (sizes[1] == 10000)
        std::printf("ratio 10000/1000: %.2f (target at most 12: %s)\n", ratio, ratio <= 12 ? "met" : "NOT met");
    else
        std::printf("ratio %d/1000: %.2f (linear: %.0f)\n", sizes[1], ratio, sizes[1] / 1000.0);
    return 0;
}
