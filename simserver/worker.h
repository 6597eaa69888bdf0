#pragma once
// The worker thread: advances the simulation every scan, sends each group's data changes
// at its update rate, completes asynchronous requests and delivers shutdown requests.
//
// Threading: the lists of live server objects and groups are guarded by one mutex; an
// object adds itself when made and removes itself in its destructor. The worker takes
// references to a snapshot (objects whose count already reached zero are skipped) and
// calls them with no list lock held.
#include <windows.h>

namespace sim {

class OpcServer;
class Group;

// Thread message to the main thread: every client that made an object has ended.
constexpr UINT kClientsGone = WM_APP + 1;

class Worker {
  public:
    static void start();
    static void stop();
    // Asks for a pass soon (an asynchronous request was queued).
    static void wake();

    static void add(OpcServer* server);
    static void remove(OpcServer* server);
    static void add(Group* group);
    static void remove(Group* group);
};

}  // namespace sim
