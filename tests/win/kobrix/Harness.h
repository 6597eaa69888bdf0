#pragma once
// Test harness for KOBRIX2.dll against the simulation server out of process: the DLL bound
// by export name, recorded callbacks, connections that tear themselves down, and control of
// the shared server process. Waits, values and control tags come from tests/win/support.
//
// Single-threaded: everything runs on the test's main thread, an STA that pumps messages
// whenever it waits, which is when COM delivers the library's callbacks.
#include <gtest/gtest.h>

#include "kobrix/Binding.h"
#include "tests/win/support/opc.h"
#include "tests/win/support/server_kill.h"
#include "tests/win/support/tools.h"
#include "tests/win/support/wait.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace kbt {

constexpr const char* kHierarchical = "Quorvane.Simulation.1";
constexpr const char* kFlat = "Quorvane.SimulationFlat.1";

kobrix::Binding& Opc();

struct Change {
    int server, group, item;
    VARTYPE vt;
    double number;     // the value as a double, where it converts
    std::string text;  // the value as text, where it converts
    FILETIME time;
    DWORD quality;
    DWORD thread;    // thread the callback ran on
    ULONGLONG tick;  // GetTickCount64 at arrival
};

// Everything the callbacks saw, in order; tests clear them as they need.
extern std::vector<Change> g_changes;
extern std::vector<int> g_shutdowns;
extern DWORD g_shutdownThread;  // thread of the last shutdown callback
void __stdcall RecordChange(int hServer, int hGroup, int hItem, const VARIANT* value, DWORD low, DWORD high,
                            DWORD quality);
BOOL __stdcall RecordShutdown(int hServer);
std::vector<Change> ChangesOf(int hItem);
inline bool Has(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

using qvtest::MakeVariant;
using qvtest::WaitUntil;

// One server connection with one group and its items; taken down in the program's order
// (items, group, server) on destruction.
class Connection {
  public:
    explicit Connection(const char* progId, DWORD rate = 100, float deadband = 0);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();
    bool Ok() const { return server != -1 && group != -1; }
    int Add(const char* itemId);  // the item handle, or -1 (also when the connection failed)
    int Write(int hItem, const VARIANT& value);
    void Forget();  // takes everything down now (also once the server died)

    int server = -1;
    int group = -1;
    DWORD rate;
    float deadband;
    std::vector<int> items;
};

// A connection held for the whole run keeps the simulation process alive between tests,
// so that each test does not pay a server start (about 1 s under Wine). main() makes sure
// of it as every test starts.
void EnsureKeeper();
void DropKeeper();  // after a shutdown or a kill: the keeper's server is gone

// The simulation server processes now running (Windows process ids), and those of them that
// this test program started (not running when it began: main() notes those).
inline std::vector<DWORD> ServerProcesses() { return qvtest::SimServerProcesses(); }
std::vector<DWORD> OurServerProcesses();
extern std::vector<DWORD> g_serversAtStart;
using qvtest::Kill;
using qvtest::RestartRpcSsUnderWine;

}  // namespace kbt
