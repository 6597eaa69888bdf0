#pragma once
// A recording stand-in for KOBRIX2.dll: every call is written to a log as one line of
// text ("RemoveItem 5 7 11"), connects and groups succeed or fail as a test sets them up,
// and item handles are handed out in sequence. Installed with OpcSetLibraryTable.
// Its address space is empty unless a test fills `leaves` and `branches`.
// Threading: the log and the browse calls are locked, so that a dialog may run on a thread
// of its own while the test reads the log; everything else belongs to the test's thread.
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "opc/OpcLibrary.h"

namespace fakeopc {

struct State {
    std::vector<std::string> calls;
    int nextServer = 101;  // handle of the next successful connect
    int nextGroup = 201;
    int nextItem = 301;
    std::set<std::string> refuseServers;  // server names whose connect answers -1
    std::set<int> refuseGroups;           // server handles whose group answers -1
    int writeResult = 1;
    // Runs inside OpcWriteItem, as a server's data change arriving during the write would.
    std::function<void(int hServer, int hGroup, int hItem, const VARIANT* value)> onWrite;
    std::function<void(int hServer, int hGroup, int mode)> onRefresh;  // runs inside the call
    std::vector<std::pair<int, OPCDATACHANGEPROC>> dataChangeProcs;
    // The address space: per branch path ("" is the root) its leaves' and its branches'
    // full ids. A leaf's item id is "ID:" and its id; positions refused by acceptsPosition
    // leave the browse position where it was.
    std::map<std::string, std::vector<std::string>> leaves, branches;
    WORD namespaceType = KOBRIX_NS_HIERARCHICAL;
    std::function<bool(const std::string& path)> acceptsPosition;
    std::string position;
    std::vector<std::string> current;  // names of the last BrowseNames
};

State& S();
std::mutex& Lock();  // held around every call of the fake
// Installs the fake table with a fresh state.
void Install();
// Lines of the log that begin with prefix.
std::vector<std::string> CallsStartingWith(const std::string& prefix);
// The data-change callback registered for hServer, or nullptr.
OPCDATACHANGEPROC DataChangeProcFor(int hServer);

}  // namespace fakeopc
