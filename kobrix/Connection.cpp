// Server connections, groups, items, refreshes and writes over OPC DA 2.0 (and the DA 1.0
// data path for groups without a connection point).
// Every call on a server goes through Library::Call, which bounds it in time.
// Each operation holds its records by shared_ptr while it calls the server and looks at
// their `removed` flags afterwards: a callback that arrives during an outgoing call may
// have re-entered the library and removed them.
#include "kobrix/Operations.h"
#include "kobrix/ServerList.h"
#include "kobrix/Sinks.h"
#include "kobrix/State.h"
#include "kobrix/Text.h"
#include "kobrix/Watchdog.h"

#include <vector>

namespace kobrix {

namespace {

// How long the releases of a lost server's proxies may wait, all together.
constexpr DWORD kReleaseLostMs = 300;

// A live server record, or null for -1, unknown handles and servers that went away.
std::shared_ptr<Server> LiveServer(int hServer) {
    auto server = Library::Instance().FindServer(hServer);
    return server && !server->dead ? server : nullptr;
}

// Connects a sink to a connection point of `source`; fills point and cookie on success.
// E_NOINTERFACE only when `source` has no IConnectionPointContainer.
HRESULT Advise(IUnknown* source, REFIID events, IUnknown* sink, ComPtr<IConnectionPoint>& point, DWORD& cookie) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = ComPtr<IUnknown>(source).As(IID_IConnectionPointContainer, container);
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> found;
    hr = container->FindConnectionPoint(events, found.Put());
    if (FAILED(hr)) return hr;
    if (!found) return E_FAIL;  // E_NOINTERFACE would say: no container at all
    hr = found->Advise(sink, &cookie);
    if (SUCCEEDED(hr)) point = found;
    return hr;
}

// Undoes a group on the server side: unadvise, release its interfaces, remove it.
void ReleaseGroup(Server& server, Group& group) {
    group.removed = true;
    if (group.dataPoint && !server.dead)
        Library::Call(server, [&] { return group.dataPoint->Unadvise(group.dataCookie); });
    if (group.dataObject && group.adviseConnection && !server.dead)
        Library::Call(server, [&] { return group.dataObject->DUnadvise(group.adviseConnection); });
    group.dataPoint.Reset();
    group.sink.Reset();
    group.dataObject.Reset();
    group.streamSink.Reset();
    group.asyncIO.Reset();
    group.syncIO.Reset();
    group.itemMgt.Reset();
    group.items.clear();
    if (server.server && !server.dead)
        Library::Call(server, [&] { return server.server->RemoveGroup(group.serverGroup, FALSE); });
}

// The DA 1.0 data path: the group's IDataObject advised with OPCSTMFORMATDATATIME blocks.
HRESULT AdviseStream(Server& server, Group& group) {
    group.sink.Reset();
    static const CLIPFORMAT format = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"OPCSTMFORMATDATATIME"));
    if (!format) return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = Library::Call(server, [&] { return group.itemMgt.As(IID_IDataObject, group.dataObject); });
    if (FAILED(hr)) return hr;
    group.streamSink = ComPtr<StreamSink>::Adopt(new StreamSink(server.handle, group.handle));
    FORMATETC wanted = {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return Library::Call(server, [&] {
        return group.dataObject->DAdvise(&wanted, ADVF_PRIMEFIRST, group.streamSink.Get(), &group.adviseConnection);
    });
}

// Values read synchronously, owned until delivered.
struct ReadValue {
    int hItem;
    VARIANT value;
    FILETIME time;
    WORD quality;
};

class ReadValues {
  public:
    ReadValues() = default;
    ReadValues(const ReadValues&) = delete;
    ReadValues& operator=(const ReadValues&) = delete;
    ~ReadValues() {
        for (ReadValue& v : values) VariantClear(&v.value);
    }
    std::vector<ReadValue> values;
};

// Reads items from the server's cache and hands each value on as a data change.
void ReadAndDeliver(const std::shared_ptr<Server>& server, const std::shared_ptr<Group>& group,
                    const std::vector<Item>& items) {
    const size_t chunk = 1000;
    for (size_t first = 0; first < items.size(); first += chunk) {
        if (server->dead || server->removed || group->removed) return;
        size_t count = std::min(chunk, items.size() - first);
        std::vector<OPCHANDLE> handles;
        for (size_t i = 0; i < count; ++i) handles.push_back(items[first + i].serverItem);
        ComPtr<IOPCSyncIO> io = group->syncIO;
        TaskMem<OPCITEMSTATE> states;
        TaskMem<HRESULT> errors;
        HRESULT hr = Library::Call(*server, [&] {
            return io->Read(OPC_DS_CACHE, static_cast<DWORD>(count), handles.data(), states.Put(), errors.Put());
        });
        ReadValues read;
        if (SUCCEEDED(hr) && states) {
            for (size_t i = 0; i < count; ++i) {
                OPCITEMSTATE& state = states[i];
                if (errors && SUCCEEDED(errors[i])) {
                    ReadValue v = {items[first + i].handle, state.vDataValue, state.ftTimeStamp, state.wQuality};
                    read.values.push_back(v);  // the VARIANT's contents move over
                    VariantInit(&state.vDataValue);
                } else {
                    VariantClear(&state.vDataValue);
                }
            }
        }
        for (const ReadValue& v : read.values)
            Library::Instance().DeliverDataChange(server->handle, group->handle, v.hItem, &v.value, v.time, v.quality);
        if (FAILED(hr)) return;
    }
}

}  // namespace

int ConnectServer(const char* machine, const char* progId) {
    ComPtr<IOPCServer> object;
    {
        BoundedScope bound;  // a running server that has stopped answering is not waited for
        if (FAILED(CreateServerObject(machine, progId, object))) return -1;
    }
    auto server = Library::Instance().AddServer();
    if (!server) return -1;
    server->server = object;
    // Shutdown requests are optional for a server: no connection point, no requests.
    auto sink = ComPtr<ShutdownSink>::Adopt(new ShutdownSink(server->handle));
    DWORD cookie = 0;
    ComPtr<IConnectionPoint> point;
    HRESULT hr =
        Library::Call(*server, [&] { return Advise(object.Get(), IID_IOPCShutdown, sink.Get(), point, cookie); });
    if (SUCCEEDED(hr)) {
        server->shutdownPoint = point;
        server->shutdownCookie = cookie;
        server->shutdownSink = sink;
    }
    if (server->dead) {
        Library::Instance().DropServer(server->handle);
        return -1;
    }
    WatchServers();
    return server->handle;
}

void DisconnectServer(int hServer) {
    auto server = Library::Instance().FindServer(hServer);
    if (!server) return;
    // Out of the table first, so that callbacks arriving meanwhile find nothing.
    Library::Instance().DropServer(hServer);
    // Releasing a proxy calls the server too; a lost server gets no more than a moment.
    BoundedScope bound(server->dead ? kReleaseLostMs : CallTimeoutMs());
    std::map<int, std::shared_ptr<Group>> groups;
    groups.swap(server->groups);
    for (auto& entry : groups) ReleaseGroup(*server, *entry.second);
    if (server->shutdownPoint && !server->dead)
        Library::Call(*server, [&] { return server->shutdownPoint->Unadvise(server->shutdownCookie); });
    server->shutdownPoint.Reset();
    server->shutdownSink.Reset();
    server->browser.Reset();
    server->server.Reset();
    server->browse = BrowseResult();
    StopWatchingIfIdle();
}

int AddGroup(int hServer, const char* name, DWORD* updateRate, float* deadband) {
    if (!updateRate || !deadband) return -1;
    auto server = LiveServer(hServer);
    if (!server) return -1;
    auto group = std::make_shared<Group>();
    group->handle = Library::Instance().NewGroupHandle();
    group->serverHandle = hServer;
    if (group->handle < 0) return -1;

    std::wstring wideName = Widen(name);
    FLOAT band = *deadband;
    DWORD revisedRate = *updateRate;
    ComPtr<IOPCServer> object = server->server;
    HRESULT hr = Library::Call(*server, [&] {
        return object->AddGroup(wideName.c_str(), TRUE, *updateRate, static_cast<OPCHANDLE>(group->handle), nullptr,
                                &band, LOCALE_SYSTEM_DEFAULT, &group->serverGroup, &revisedRate, IID_IOPCItemMgt,
                                reinterpret_cast<IUnknown**>(group->itemMgt.PutVoid()));
    });
    if (FAILED(hr) || !group->itemMgt) return -1;

    // The group exists on the server: from here a failure removes it again.
    bool ready = SUCCEEDED(Library::Call(*server, [&] { return group->itemMgt.As(IID_IOPCSyncIO, group->syncIO); }));
    if (ready) Library::Call(*server, [&] { return group->itemMgt.As(IID_IOPCAsyncIO2, group->asyncIO); });
    if (ready) {
        group->sink = ComPtr<DataSink>::Adopt(new DataSink(hServer, group->handle));
        hr = Library::Call(*server, [&] {
            return Advise(group->itemMgt.Get(), IID_IOPCDataCallback, group->sink.Get(), group->dataPoint,
                          group->dataCookie);
        });
        // A group without a connection point is a DA 1.0 one: data through IDataObject.
        if (hr == E_NOINTERFACE) hr = AdviseStream(*server, *group);
        ready = SUCCEEDED(hr);
    }
    // The deadband the server settled on, where it tells.
    ComPtr<IOPCGroupStateMgt> state;
    if (ready && SUCCEEDED(Library::Call(*server, [&] { return group->itemMgt.As(IID_IOPCGroupStateMgt, state); }))) {
        DWORD rate = 0, lcid = 0;
        BOOL active = FALSE;
        TaskMem<wchar_t> stateName;
        LONG bias = 0;
        FLOAT stateBand = band;
        OPCHANDLE client = 0, serverGroup = 0;
        if (SUCCEEDED(Library::Call(*server, [&] {
                return state->GetState(&rate, &active, stateName.Put(), &bias, &stateBand, &lcid, &client,
                                       &serverGroup);
            }))) {
            band = stateBand;
        }
    }
    if (!ready || server->removed || server->dead) {
        ReleaseGroup(*server, *group);
        return -1;
    }
    server->groups[group->handle] = group;
    *updateRate = revisedRate;
    *deadband = band;
    return group->handle;
}

void RemoveGroup(int hServer, int hGroup) {
    auto server = Library::Instance().FindServer(hServer);
    if (!server) return;
    auto group = Library::FindGroup(*server, hGroup);
    if (!group) return;
    server->groups.erase(hGroup);
    BoundedScope bound(server->dead ? kReleaseLostMs : CallTimeoutMs());
    ReleaseGroup(*server, *group);
}

int AddItem(int hServer, int hGroup, const char* itemId) {
    if (!itemId) return -1;
    auto server = LiveServer(hServer);
    if (!server) return -1;
    auto group = Library::FindGroup(*server, hGroup);
    if (!group) return -1;
    group->lastAdded = -1;  // a refused add leaves nothing to refresh
    int hItem = Library::Instance().NewItemHandle();
    if (hItem < 0) return -1;

    std::wstring id = Widen(itemId);
    wchar_t noAccessPath[1] = {L'\0'};
    OPCITEMDEF def = {};
    def.szAccessPath = noAccessPath;
    def.szItemID = &id[0];
    def.bActive = TRUE;
    def.hClient = static_cast<OPCHANDLE>(hItem);
    def.vtRequestedDataType = VT_EMPTY;
    ComPtr<IOPCItemMgt> items = group->itemMgt;
    TaskMem<OPCITEMRESULT> results;
    TaskMem<HRESULT> errors;
    HRESULT hr = Library::Call(*server, [&] { return items->AddItems(1, &def, results.Put(), errors.Put()); });
    bool added = SUCCEEDED(hr) && results && errors && SUCCEEDED(errors[0]);
    OPCHANDLE serverItem = added ? results[0].hServer : 0;
    if (results) CoTaskMemFree(results[0].pBlob);
    if (!added) return -1;
    if (group->removed || server->dead) return -1;  // the group went while the server answered
    group->items[hItem] = Item{hItem, serverItem};
    group->lastAdded = hItem;
    return hItem;
}

void RemoveItem(int hServer, int hGroup, int hItem) {
    auto server = Library::Instance().FindServer(hServer);
    if (!server) return;
    auto group = Library::FindGroup(*server, hGroup);
    if (!group) return;
    auto it = group->items.find(hItem);
    if (it == group->items.end()) return;
    OPCHANDLE serverItem = it->second.serverItem;
    group->items.erase(it);
    if (group->lastAdded == hItem) group->lastAdded = -1;
    if (server->dead) return;
    ComPtr<IOPCItemMgt> items = group->itemMgt;
    TaskMem<HRESULT> errors;
    Library::Call(*server, [&] { return items->RemoveItems(1, &serverItem, errors.Put()); });
}

void RefreshGroup(int hServer, int hGroup, int mode) {
    auto server = LiveServer(hServer);
    if (!server) return;
    auto group = Library::FindGroup(*server, hGroup);
    if (!group || group->items.empty()) return;
    if (mode == KOBRIX_REFRESH_LAST_ADDED) {
        auto it = group->items.find(group->lastAdded);
        if (it != group->items.end()) ReadAndDeliver(server, group, {it->second});
        return;
    }
    if (mode != KOBRIX_REFRESH_GROUP) return;
    // The whole group: one Refresh2 whose values come back as an ordinary data change;
    // servers without it (or refusing it) are read synchronously instead.
    if (ComPtr<IOPCAsyncIO2> async = group->asyncIO) {
        static DWORD transaction = 0;
        if (++transaction == 0) ++transaction;
        DWORD cancelId = 0;
        if (SUCCEEDED(Library::Call(*server, [&] { return async->Refresh2(OPC_DS_CACHE, transaction, &cancelId); })))
            return;
        if (server->dead || group->removed) return;
    }
    std::vector<Item> all;
    for (const auto& entry : group->items) all.push_back(entry.second);
    ReadAndDeliver(server, group, all);
}

int WriteItem(int hServer, int hGroup, int hItem, const VARIANT* value) {
    if (!value) return 0;
    auto server = LiveServer(hServer);
    if (!server) return 0;
    auto group = Library::FindGroup(*server, hGroup);
    if (!group) return 0;
    auto it = group->items.find(hItem);
    if (it == group->items.end()) return 0;
    OPCHANDLE serverItem = it->second.serverItem;
    Variant copy;  // also proves the value is a VARIANT COM can copy, hence marshal
    if (FAILED(VariantCopy(copy.Get(), const_cast<VARIANT*>(value)))) return 0;  // the source is only read
    ComPtr<IOPCSyncIO> io = group->syncIO;
    TaskMem<HRESULT> errors;
    HRESULT hr = Library::Call(*server, [&] { return io->Write(1, &serverItem, copy.Get(), errors.Put()); });
    return SUCCEEDED(hr) && errors && SUCCEEDED(errors[0]) ? 1 : 0;
}

void SetDataChangeCallback(int hServer, OPCDATACHANGEPROC proc) {
    if (auto server = Library::Instance().FindServer(hServer)) server->onDataChange = proc;
}

void SetShutdownCallback(int hServer, OPCSHUTDOWNPROC proc) {
    if (auto server = Library::Instance().FindServer(hServer)) server->onShutdown = proc;
}

}  // namespace kobrix
