#pragma once
// A recording stand-in for KOBRIX2.dll: every call is written to a log as one line of
// text ("RemoveItem 5 7 11"), connects and groups succeed or fail as a test sets them up,
// and item handles are handed out in sequence. Installed with OpcSetLibraryTable.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "opc/OpcLibrary.h"

namespace fakeopc {

struct State {
    std::vector<std::string> calls;
    int nextServer = 101;               // handle of the next successful connect
    int nextGroup = 201;
    int nextItem = 301;
    std::set<std::string> refuseServers;  // server names whose connect answers -1
    std::set<int> refuseGroups;           // server handles whose group answers -1
    int writeResult = 1;
    // Runs inside OpcWriteItem, as a server's data change arriving during the write would.
    std::function<void(int hServer, int hGroup, int hItem, const VARIANT* value)> onWrite;
    std::vector<std::pair<int, OPCDATACHANGEPROC>> dataChangeProcs;
};

State& S();
// Installs the fake table with a fresh state.
void Install();
// Lines of the log that begin with prefix.
std::vector<std::string> CallsStartingWith(const std::string& prefix);
// The data-change callback registered for hServer, or nullptr.
OPCDATACHANGEPROC DataChangeProcFor(int hServer);

}  // namespace fakeopc
