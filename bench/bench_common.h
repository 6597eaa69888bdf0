#pragma once
// What the benchmarks share: percentiles, a stopwatch, the simulation server's control
// tags written through KOBRIX2.dll, and the CPU time of a process.
// Threading: the caller's single-threaded apartment, like the library itself.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "kobrix/Binding.h"
#include <gtest/gtest.h>

#include "res/resource.h"

namespace bench {

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = size_t(p / 100.0 * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

class Stopwatch {
  public:
    Stopwatch() {
        QueryPerformanceFrequency(&freq_);
        Restart();
    }
    void Restart() { QueryPerformanceCounter(&t0_); }
    double Seconds() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return double(now.QuadPart - t0_.QuadPart) / double(freq_.QuadPart);
    }

  private:
    LARGE_INTEGER freq_, t0_;
};

// Kernel + user time of a process in seconds (-1 when the system does not tell).
inline double CpuSeconds(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
    auto v = [](FILETIME f) { return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7; };
    return v(kernel) + v(user);
}

// Private bytes of a process (0 when the system does not tell: Wine 8 answers 0 for
// another process).
inline SIZE_T PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) return 0;
    return pmc.PrivateUsage;
}

// Under Wine, Linux's view of a process through drive Z: (Wine 8 answers no memory and
// no CPU time of another process). ProcDir finds the first process whose command line
// holds `marker` (e.g. its private folder) and, when given, whose environment holds
// `envEntry` (e.g. "WINEPREFIX=/path"); "" when there is none. Only argv[0] is searched.
inline std::string Slurp(const std::string& path) {
    std::string out;
    HANDLE f =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    CloseHandle(f);
    return out;
}

inline std::string Lower(std::string s) {
    for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
    return s;
}

inline std::string LinuxProcDir(const std::string& marker, const std::string& envEntry = std::string()) {
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &fd);
    if (find == INVALID_HANDLE_VALUE) return {};
    std::string found;
    do {
        if (!isdigit(static_cast<unsigned char>(fd.cFileName[0]))) continue;
        const std::string dir = std::string("Z:\\proc\\") + fd.cFileName;
        // The program itself, not a wrapper naming it among its arguments: argv[0] only.
        const std::string argv0 = Slurp(dir + "\\cmdline").c_str();
        if (Lower(argv0).find(Lower(marker)) == std::string::npos) continue;
        if (!envEntry.empty() && Slurp(dir + "\\environ").find(envEntry) == std::string::npos) continue;
        found = dir;
        break;
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return found;
}

// A field of /proc/<pid>/status in bytes ("RssAnon", "VmData"); 0 when missing.
inline SIZE_T LinuxStatusBytes(const std::string& dir, const char* field) {
    if (dir.empty()) return 0;
    const std::string status = Slurp(dir + "\\status");
    const size_t at = status.find(std::string("\n") + field + ":");
    return at == std::string::npos ? 0
                                   : SIZE_T(std::strtoull(status.c_str() + at + strlen(field) + 2, nullptr, 10)) * 1024;
}

// User + system CPU seconds from /proc/<pid>/stat (100 ticks a second); -1 when missing.
inline double LinuxCpuSeconds(const std::string& dir) {
    if (dir.empty()) return -1;
    const std::string stat = Slurp(dir + "\\stat");
    size_t p = stat.rfind(')');
    if (p == std::string::npos) return -1;
    // Fields after the command: state(3) ... utime(14) stime(15).
    const char* c = stat.c_str() + p + 2;
    for (int field = 3; field < 14 && *c; ++field) c = std::strchr(c, ' ') ? std::strchr(c, ' ') + 1 : "";
    char* end = nullptr;
    const double utime = std::strtod(c, &end);
    const double stime = std::strtod(end, nullptr);
    return (utime + stime) / 100.0;
}

// "WINEPREFIX=<this process's prefix>", to tell our processes from those of another prefix.
inline std::string PrefixEntry() {
    char prefix[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix)) return {};
    return std::string("WINEPREFIX=") + prefix;
}

// The wineserver of this process's prefix, or "".
inline std::string WineserverDir() {
    const std::string entry = PrefixEntry();
    return entry.empty() ? std::string() : LinuxProcDir("wineserver", entry);
}

// CPU seconds of one process, from Linux under Wine, else from the system.
class CpuProbe {
  public:
    CpuProbe(HANDLE process, const std::string& marker)
        : process_(process), dir_(LinuxProcDir(marker, PrefixEntry())) {}
    explicit CpuProbe(std::string dir) : dir_(std::move(dir)) {}
    double Seconds() const { return !dir_.empty() ? LinuxCpuSeconds(dir_) : process_ ? CpuSeconds(process_) : -1; }

  private:
    HANDLE process_ = nullptr;
    std::string dir_;
};

// Writes an I4 control tag of the simulation server through a group of its own; the
// server keeps the value while any client stays connected.
inline bool WriteControl(kobrix::Binding& opc, int server, const char* id, long value) {
    DWORD rate = 1000;
    float band = 0;
    int group = opc.OpcAddGroup(server, "bench control", &rate, &band);
    if (group == -1) return false;
    int item = opc.OpcAddItem(server, group, id);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    bool ok = item != -1 && opc.OpcWriteItem(server, group, item, &v, 0) != 0;
    if (item != -1) opc.OpcRemoveItem(server, group, item);
    opc.OpcRemoveGroup(server, group);
    return ok;
}

// "Big.T00042"
inline std::string BigItem(int n) {
    char id[32];
    std::snprintf(id, sizeof id, "Big.T%05d", n);
    return id;
}

// A support step's result as the benchmarks report it: true, or false with the reason.
inline bool Ok(const ::testing::AssertionResult& result, std::string* why) {
    if (!result && why != nullptr) *why = result.message();
    return static_cast<bool>(result);
}

}  // namespace bench
