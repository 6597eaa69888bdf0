#pragma once
// An OPC group: its items, its subscription state and its pending asynchronous requests.
//
// Threading: every method may run on any RPC thread of the MTA; tick() runs on the worker
// thread. m_lock guards all members except the connection point (own lock) and the
// immutable space. The lock order is group -> Simulation; the group never holds its lock
// while it calls a client or the server object.
// Lifetime: the server object holds one reference per group it lists. When the group is
// removed or the server object dies, detach() cuts the link; the group then refuses
// calls with E_FAIL until the client lets go of it.
#include "com_util.h"
#include "connection_point.h"
#include "opcda.h"
#include "tags.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class OpcServer;

struct GroupSettings {
    std::wstring name;
    BOOL active = TRUE;
    DWORD rate = 1000;
    OPCHANDLE clientHandle = 0;
    OPCHANDLE serverHandle = 0;
    LONG timeBias = 0;
    FLOAT deadband = 0;
    DWORD lcid = 0;
};

// Fastest update rate served; faster requests are revised to it.
constexpr DWORD kMinUpdateRate = 50;
// Revises a requested rate; true when the revised rate differs from the request.
bool ReviseRate(DWORD requested, DWORD& revised);
bool ValidDeadband(FLOAT percent);

class Group final : public IOPCItemMgt,
                    public IOPCGroupStateMgt,
                    public IOPCSyncIO,
                    public IOPCAsyncIO2,
                    public IConnectionPointContainer,
                    public IDataObject,
                    private ModuleObject {
  public:
    // A new group with one reference, listed with the worker. da1: the group of a DA 1.0
    // server, which delivers data changes through IDataObject::DAdvise (group_da1.cpp)
    // and offers neither IOPCAsyncIO2 nor a connection point.
    static Group* create(OpcServer* server, Space space, bool da1, const GroupSettings& settings);

    // Used by the server object and the worker.
    bool tryAddRef();
    std::wstring name();
    void setNameLocked(const std::wstring& name);  // server object holds its own lock
    void detach();
    // scanned: the simulation advanced in this pass; updates go out only then (see tick).
    void tick(ULONGLONG now, bool scanned);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOPCItemMgt
    STDMETHODIMP AddItems(DWORD dwCount, OPCITEMDEF* pItemArray, OPCITEMRESULT** ppAddResults,
                          HRESULT** ppErrors) override;
    STDMETHODIMP ValidateItems(DWORD dwCount, OPCITEMDEF* pItemArray, BOOL bBlobUpdate,
                               OPCITEMRESULT** ppValidationResults, HRESULT** ppErrors) override;
    STDMETHODIMP RemoveItems(DWORD dwCount, OPCHANDLE* phServer, HRESULT** ppErrors) override;
    STDMETHODIMP SetActiveState(DWORD dwCount, OPCHANDLE* phServer, BOOL bActive, HRESULT** ppErrors) override;
    STDMETHODIMP SetClientHandles(DWORD dwCount, OPCHANDLE* phServer, OPCHANDLE* phClient, HRESULT** ppErrors) override;
    STDMETHODIMP SetDatatypes(DWORD dwCount, OPCHANDLE* phServer, VARTYPE* pRequestedDatatypes,
                              HRESULT** ppErrors) override;
    STDMETHODIMP CreateEnumerator(REFIID riid, IUnknown** ppUnk) override;

    // IOPCGroupStateMgt
    STDMETHODIMP GetState(DWORD* pUpdateRate, BOOL* pActive, LPWSTR* ppName, LONG* pTimeBias, FLOAT* pPercentDeadband,
                          DWORD* pLCID, OPCHANDLE* phClientGroup, OPCHANDLE* phServerGroup) override;
    STDMETHODIMP SetState(DWORD* pRequestedUpdateRate, DWORD* pRevisedUpdateRate, BOOL* pActive, LONG* pTimeBias,
                          FLOAT* pPercentDeadband, DWORD* pLCID, OPCHANDLE* phClientGroup) override;
    STDMETHODIMP SetName(LPCWSTR szName) override;
    STDMETHODIMP CloneGroup(LPCWSTR szName, REFIID riid, IUnknown** ppUnk) override;

    // IOPCSyncIO
    STDMETHODIMP Read(OPCDATASOURCE dwSource, DWORD dwCount, OPCHANDLE* phServer, OPCITEMSTATE** ppItemValues,
                      HRESULT** ppErrors) override;
    STDMETHODIMP Write(DWORD dwCount, OPCHANDLE* phServer, VARIANT* pItemValues, HRESULT** ppErrors) override;

    // IOPCAsyncIO2 (its Read and Write overload the IOPCSyncIO ones)
    STDMETHODIMP Read(DWORD dwCount, OPCHANDLE* phServer, DWORD dwTransactionID, DWORD* pdwCancelID,
                      HRESULT** ppErrors) override;
    STDMETHODIMP Write(DWORD dwCount, OPCHANDLE* phServer, VARIANT* pItemValues, DWORD dwTransactionID,
                       DWORD* pdwCancelID, HRESULT** ppErrors) override;
    STDMETHODIMP Refresh2(OPCDATASOURCE dwSource, DWORD dwTransactionID, DWORD* pdwCancelID) override;
    STDMETHODIMP Cancel2(DWORD dwCancelID) override;
    STDMETHODIMP SetEnable(BOOL bEnable) override;
    STDMETHODIMP GetEnable(BOOL* pbEnable) override;

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // IDataObject (DA 1.0 groups): only the advise is served.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** ppEnum) override;
    STDMETHODIMP DAdvise(FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override;
    STDMETHODIMP DUnadvise(DWORD connection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** ppEnum) override;

  private:
    struct Item {
        OPCHANDLE clientHandle = 0;
        Tag* tag = nullptr;
        bool active = true;
        VARTYPE requested = VT_EMPTY;
        bool sent = false;  // last* hold what the client last received
        Variant lastValue;
        WORD lastQuality = 0;
    };
    enum class TaskKind { Refresh, Read, Write, Cancelled };
    struct Task {
        TaskKind kind = TaskKind::Refresh;
        DWORD transactionId = 0;
        DWORD cancelId = 0;
        std::vector<OPCHANDLE> handles;
        std::vector<Variant> values;
    };
    // Callback arguments for one OnDataChange / OnReadComplete.
    struct Batch {
        OPCHANDLE group = 0;  // the client's group handle
        std::vector<OPCHANDLE> handles;
        std::vector<VARIANT> values;
        std::vector<WORD> qualities;
        std::vector<FILETIME> stamps;
        std::vector<HRESULT> errors;
        ~Batch();
        void add(OPCHANDLE h, const Sample& s, VARTYPE requested);
        HRESULT masterQuality() const;
        HRESULT masterError() const;
    };

    Group(OpcServer* server, Space space, bool da1, const GroupSettings& settings);
    ~Group();

    bool attached();
    template <class Each>
    HRESULT forEachItem(DWORD count, const OPCHANDLE* handles, HRESULT** errors, Each each);
    HRESULT checkItems(DWORD count, OPCITEMDEF* defs, bool add, OPCITEMRESULT** results, HRESULT** errors);
    HRESULT queue(Task task, DWORD* cancelId);
    HRESULT queueItems(TaskKind kind, DWORD count, const OPCHANDLE* handles, const VARIANT* values, DWORD transactionId,
                       DWORD* cancelId, HRESULT** errors);
    void runTask(Task& task);
    void fire(Batch& batch, DWORD transactionId, bool readComplete);
    // The DA 1.0 delivery of a data change: one OPCSTMFORMATDATATIME block to the advise sink.
    void fireStream(const Batch& batch, DWORD transactionId);
    bool listening() { return m_callback.connected() || m_stream.connected(); }
    bool changed(const Item& item, const Sample& s) const;
    void markSent(Item& item, const Sample& s);
    static DWORD s_nextCancelId();
    ComPtr<OpcServer> server();

    std::atomic<ULONG> m_refs{1};
    const Space m_space;
    const bool m_da1;
    std::mutex m_lock;
    OpcServer* m_server;  // null once detached
    GroupSettings m_settings;
    bool m_enabled = true;
    std::map<OPCHANDLE, Item> m_items;
    OPCHANDLE m_nextItem = 1;
    ULONGLONG m_nextDue = 0;
    std::deque<Task> m_tasks;
    ConnectionPoint<IOPCDataCallback> m_callback;
    ConnectionPoint<IAdviseSink> m_stream;  // DA 1.0: the DAdvise connection (not offered as a point)
};

}  // namespace sim
