#pragma once
// The library's records and handle tables. Everything here is touched only on the
// library's owner thread (see Kobrix2.cpp for the rules).
#include "kobrix/Bounded.h"
#include "com/ComPtr.h"
#include "kobrix/Sinks.h"
#include "kobrix/kobrix2.h"
#include "opcda.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kobrix {

using com::ComPtr;
using com::TaskMem;
using com::Variant;

struct Item {
    int handle = -1;           // ours; the client handle the server hands back
    OPCHANDLE serverItem = 0;  // the server's
};

struct Group {
    int handle = -1;        // ours; also the group's client handle
    int serverHandle = -1;  // the server record this group belongs to
    OPCHANDLE serverGroup = 0;
    ComPtr<IOPCItemMgt> itemMgt;
    ComPtr<IOPCSyncIO> syncIO;
    ComPtr<IOPCAsyncIO2> asyncIO;  // optional
    ComPtr<IConnectionPoint> dataPoint;
    DWORD dataCookie = 0;
    ComPtr<DataSink> sink;
    // A DA 1.0 group (no connection point): data changes come through IDataObject::DAdvise.
    ComPtr<IDataObject> dataObject;
    DWORD adviseConnection = 0;
    ComPtr<StreamSink> streamSink;
    std::map<int, Item> items;
    int lastAdded = -1;    // item handle of the last add, -1 if it was refused or removed
    bool removed = false;  // set once dropped from the tables
};

struct BrowseResult {
    std::vector<std::wstring> wide;  // as the server gave them
    std::vector<std::string> ansi;   // as the API hands them out
};

struct Server {
    int handle = -1;
    ComPtr<IOPCServer> server;
    ComPtr<IOPCBrowseServerAddressSpace> browser;  // fetched on first browse
    WORD namespaceType = 0;                        // 0 until asked
    ComPtr<IConnectionPoint> shutdownPoint;
    DWORD shutdownCookie = 0;
    ComPtr<ShutdownSink> shutdownSink;
    OPCDATACHANGEPROC onDataChange = nullptr;
    OPCSHUTDOWNPROC onShutdown = nullptr;
    std::map<int, std::shared_ptr<Group>> groups;
    BrowseResult browse;
    bool dead = false;          // the server went away or stopped answering; no more calls to it
    bool waiting = false;       // a call on it is out (a callback during it may not call it again)
    bool goneReported = false;  // its death was handed to the shutdown callback
    bool removed = false;
};

// True for the answers that mean the server (or the path to it) is gone for good.
bool IsServerGone(HRESULT hr);

class Library {
  public:
    static Library& Instance();

    // Server records.
    std::shared_ptr<Server> FindServer(int hServer) const;
    std::vector<std::shared_ptr<Server>> Servers() const;
    std::shared_ptr<Server> AddServer();
    void DropServer(int hServer);
    // Group records of a live server record.
    static std::shared_ptr<Group> FindGroup(const Server& server, int hGroup);
    // Fresh handles, never 0 and never reused in this process; -1 once exhausted.
    int NewGroupHandle() { return nextGroup_ < 0x7fffffff ? nextGroup_++ : -1; }
    int NewItemHandle() { return nextItem_ < 0x7fffffff ? nextItem_++ : -1; }

    // Notes a COM answer from the server; a transport failure marks it dead.
    static HRESULT Note(Server& server, HRESULT hr);
    // Makes outgoing calls on a server (`call` returns the HRESULT), bounded in time as one.
    // Refused at once on a dead server, and with E_PENDING while another call on the same
    // server is still waiting; a call that runs out of time marks the server dead (lost).
    // A status check does not count as waiting: it only asks how the server is, so a user's
    // call that arrives while COM's wait lets messages in goes ahead (bounded on its own)
    // instead of being refused for the check's sake.
    enum class Kind { Operation, StatusCheck };
    template <class F>
    static HRESULT Call(Server& server, F&& call, Kind kind = Kind::Operation);

    // Hands one item's data change to the server's registered callback, if the
    // item still exists. Safe against the callback re-entering the library.
    void DeliverDataChange(int hServer, int hGroup, int hItem, const VARIANT* value, const FILETIME& time,
                           WORD quality);
    void DeliverShutdown(int hServer);

    // Operations under way on the owner thread (more than one when a callback re-enters).
    int callDepth = 0;

    // Results of the last enumeration, for OpcGetServerName.
    std::vector<std::string> serverNames;
    OPCLIBRARYPROC libraryCallback = nullptr;

  private:
    std::map<int, std::shared_ptr<Server>> servers_;
    int nextServer_ = 1;
    int nextGroup_ = 1;
    int nextItem_ = 1;
};

template <class F>
HRESULT Library::Call(Server& server, F&& call, Kind kind) {
    if (server.dead) return RPC_E_DISCONNECTED;
    if (server.waiting) return E_PENDING;
    struct Waiting {
        Waiting(bool& flag, bool set) : flag_(flag), set_(set) {
            if (set_) flag_ = true;
        }
        ~Waiting() {
            if (set_) flag_ = false;
        }
        bool& flag_;
        bool set_;
    } waiting(server.waiting, kind == Kind::Operation);
    BoundedScope bound;
    HRESULT hr = call();
    if (hr == RPC_E_CALL_CANCELED || (FAILED(hr) && bound.Expired())) server.dead = true;
    return Note(server, hr);
}

}  // namespace kobrix
