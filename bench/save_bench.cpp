// save_bench: how long one configuration save holds the user-interface thread at 10,000
// items (the file built in memory, then written beside the old one, flushed and renamed
// over it), as the save coalescer runs it. Prints the median and the worst of 20 saves,
// and how much of it building the text in memory takes.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "opc/ConnectionList.h"
#include "persist/Config.h"

int main() {
    const int kItems = 10000, kRuns = 20;
    CConnectionList connections;  // no DDE instance, disconnected: no library call is made
    auto* conn = new CServerConnection(0, "", "Quorvane.Simulation.1", "Plant", 1000, 0.0f);
    for (int i = 0; i < kItems; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Big.Branch.Leaf%05d.Value", i);
        conn->AddItem(new CTagItem(name));
    }
    connections.Add(conn);

    char dir[MAX_PATH];
    ::GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + "qv_save_bench.cfg";
    LARGE_INTEGER freq;
    ::QueryPerformanceFrequency(&freq);
    std::vector<double> ms, buildMs;
    DWORD bytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        LARGE_INTEGER t0, t1;
        ::QueryPerformanceCounter(&t0);
        CMemFile memory;
        connections.Write(memory, "1.00");
        memory.Close();
        bytes = static_cast<DWORD>(memory.GetLength());
        LARGE_INTEGER tb;
        ::QueryPerformanceCounter(&tb);
        buildMs.push_back(1000.0 * double(tb.QuadPart - t0.QuadPart) / double(freq.QuadPart));
        BOOL ok = ReplaceFileContents(path.c_str(), memory.GetData(), bytes);
        ::QueryPerformanceCounter(&t1);
        if (!ok) {
            std::printf("save failed\n");
            return 1;
        }
        ms.push_back(1000.0 * double(t1.QuadPart - t0.QuadPart) / double(freq.QuadPart));
    }
    ::DeleteFileA(path.c_str());
    std::sort(ms.begin(), ms.end());
    std::sort(buildMs.begin(), buildMs.end());
    std::printf(
        "save of %d items (%lu bytes): median %.1f ms, worst %.1f ms (target <= 50 ms); "
        "of which building the text: median %.1f ms, worst %.1f ms\n",
        kItems, static_cast<unsigned long>(bytes), ms[ms.size() / 2], ms.back(), buildMs[buildMs.size() / 2],
        buildMs.back());
    return 0;
}
