// The OPC group object: item management, state, synchronous and asynchronous I/O, and the
// data-change subscription sent from the worker thread.
#include "group.h"

#include "server.h"
#include "worker.h"

#include <cmath>

namespace sim {
namespace {

constexpr WORD kQualityBad = 0x00;
constexpr WORD kQualityOutOfService = 0x1C;
constexpr WORD kQualityMask = 0xC0;
constexpr WORD kQualityGood = 0xC0;

// Converts an item's canonical value to the type the client asked for.
HRESULT Deliver(const VARIANT& value, VARTYPE requested, VARIANT* out) {
    VariantInit(out);
    if (requested == VT_EMPTY || requested == value.vt) return VariantCopy(out, const_cast<VARIANT*>(&value));
    HRESULT hr = VariantChangeTypeEx(out, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0, requested);
    if (SUCCEEDED(hr)) return S_OK;
    VariantInit(out);
    return hr == DISP_E_OVERFLOW ? OPC_E_RANGE : OPC_E_BADTYPE;
}

// Whether values of the tag can be delivered in the requested type at all.
bool Convertible(const Tag& tag, VARTYPE requested) {
    if (requested == VT_EMPTY || requested == tag.info.type) return true;
    Sample s = Simulation::instance().read(tag);
    VARIANT v;
    VariantInit(&v);  // the conversion clears its destination first: garbage there fails it
    HRESULT hr = VariantChangeTypeEx(&v, s.value.Get(), LOCALE_INVARIANT, 0, requested);
    if (SUCCEEDED(hr)) VariantClear(&v);
    return SUCCEEDED(hr) || hr == DISP_E_OVERFLOW;  // overflow depends on the value, not the type
}

// Out-array pair used by most methods: both or neither.
template <class A, class B>
bool AllocPair(DWORD n, A** a, B** b) {
    *a = TaskAlloc<A>(n);
    *b = TaskAlloc<B>(n);
    if (*a && *b) return true;
    CoTaskMemFree(*a);
    CoTaskMemFree(*b);
    *a = nullptr;
    *b = nullptr;
    return false;
}

}  // namespace

bool ReviseRate(DWORD requested, DWORD& revised) {
    revised = requested < kMinUpdateRate ? kMinUpdateRate : requested;
    return revised != requested;
}

bool ValidDeadband(FLOAT percent) { return percent >= 0.0f && percent <= 100.0f; }  // NaN fails both

// ---------------------------------------------------------------------------------------------
Group::Batch::~Batch() {
    for (auto& v : values) VariantClear(&v);
}

void Group::Batch::add(OPCHANDLE h, const Sample& s, VARTYPE requested) {
    handles.push_back(h);
    values.emplace_back();
    HRESULT hr = Deliver(s.value.Ref(), requested, &values.back());
    qualities.push_back(SUCCEEDED(hr) ? s.quality : kQualityBad);
    stamps.push_back(s.stamp);
    errors.push_back(SUCCEEDED(hr) ? S_OK : hr);
}

HRESULT Group::Batch::masterQuality() const {
    for (WORD q : qualities)
        if ((q & kQualityMask) != kQualityGood) return S_FALSE;
    return S_OK;
}

HRESULT Group::Batch::masterError() const {
    for (HRESULT e : errors)
        if (e != S_OK) return S_FALSE;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
Group* Group::create(OpcServer* server, Space space, bool da1, const GroupSettings& settings) {
    return new (std::nothrow) Group(server, space, da1, settings);
}

Group::Group(OpcServer* server, Space space, bool da1, const GroupSettings& settings)
    : m_space(space),
      m_da1(da1),
      m_server(server),
      m_settings(settings),
      m_callback(this, IID_IOPCDataCallback, /*single=*/true),
      m_stream(this, IID_IAdviseSink, /*single=*/true) {
    Worker::add(this);
}

Group::~Group() {
    Worker::remove(this);
    m_callback.dropAll();
    m_stream.dropAll();
}

bool Group::tryAddRef() {
    ULONG n = m_refs.load();
    while (n != 0)
        if (m_refs.compare_exchange_weak(n, n + 1)) return true;
    return false;
}

std::wstring Group::name() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_settings.name;
}

void Group::setNameLocked(const std::wstring& name) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_settings.name = name;
}

void Group::detach() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_server = nullptr;
        m_tasks.clear();
    }
    m_callback.dropAll();
    m_stream.dropAll();
}

STDMETHODIMP Group::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IOPCItemMgt)
        *ppv = static_cast<IOPCItemMgt*>(this);
    else if (riid == IID_IOPCGroupStateMgt)
        *ppv = static_cast<IOPCGroupStateMgt*>(this);
    else if (riid == IID_IOPCSyncIO)
        *ppv = static_cast<IOPCSyncIO*>(this);
    else if (!m_da1 && riid == IID_IOPCAsyncIO2)
        *ppv = static_cast<IOPCAsyncIO2*>(this);
    else if (!m_da1 && riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (m_da1 && riid == IID_IDataObject)
        *ppv = static_cast<IDataObject*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Group::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) Group::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

bool Group::attached() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_server != nullptr;
}

// Runs each(i, item) under the lock for every known handle; unknown handles get
// OPC_E_INVALIDHANDLE. The per-item results go to *errors (CoTaskMem, the caller's).
template <class Each>
HRESULT Group::forEachItem(DWORD count, const OPCHANDLE* handles, HRESULT** errors, Each each) {
    if (errors) *errors = nullptr;
    if (!errors) return E_POINTER;
    if (count == 0 || !handles) return E_INVALIDARG;
    HRESULT* out = TaskAlloc<HRESULT>(count);
    if (!out) return E_OUTOFMEMORY;
    bool allGood = true;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_server) {
            CoTaskMemFree(out);
            return E_FAIL;
        }
        for (DWORD i = 0; i < count; ++i) {
            auto it = m_items.find(handles[i]);
            out[i] = it == m_items.end() ? OPC_E_INVALIDHANDLE : each(i, it);
            allGood = allGood && out[i] == S_OK;
        }
    }
    *errors = out;
    return allGood ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// IOPCItemMgt

HRESULT Group::checkItems(DWORD count, OPCITEMDEF* defs, bool add, OPCITEMRESULT** results, HRESULT** errors) {
    if (results) *results = nullptr;
    if (errors) *errors = nullptr;
    if (!results || !errors) return E_POINTER;
    if (count == 0 || !defs) return E_INVALIDARG;
    if (!attached()) return E_FAIL;
    if (!AllocPair(count, results, errors)) return E_OUTOFMEMORY;

    const bool refuse = add && Simulation::instance().refuseItems();
    bool allGood = true;
    std::lock_guard<std::mutex> lock(m_lock);
    for (DWORD i = 0; i < count; ++i) {
        const OPCITEMDEF& d = defs[i];
        HRESULT& err = (*errors)[i];
        Tag* tag = nullptr;
        if (refuse)
            err = E_FAIL;
        else if (!d.szItemID || !*d.szItemID)
            err = OPC_E_INVALIDITEMID;
        else if (d.szAccessPath && *d.szAccessPath)
            err = OPC_E_UNKNOWNPATH;
        else if (!(tag = Simulation::instance().find(m_space, d.szItemID)))
            err = OPC_E_UNKNOWNITEMID;
        else if (!Convertible(*tag, d.vtRequestedDataType))
            err = OPC_E_BADTYPE;
        else
            err = S_OK;
        if (FAILED(err)) {
            allGood = false;
            continue;
        }
        OPCITEMRESULT& r = (*results)[i];
        r.vtCanonicalDataType = tag->info.type;
        r.dwAccessRights = tag->info.rights;
        if (add) {
            Item item;
            item.clientHandle = d.hClient;
            item.tag = tag;
            item.active = d.bActive != FALSE;
            item.requested = d.vtRequestedDataType;
            r.hServer = m_nextItem++;
            m_items.emplace(r.hServer, std::move(item));
        }
    }
    return allGood ? S_OK : S_FALSE;
}

STDMETHODIMP Group::AddItems(DWORD dwCount, OPCITEMDEF* pItemArray, OPCITEMRESULT** ppAddResults, HRESULT** ppErrors) {
    HangGate();
    return checkItems(dwCount, pItemArray, true, ppAddResults, ppErrors);
}

STDMETHODIMP Group::ValidateItems(DWORD dwCount, OPCITEMDEF* pItemArray, BOOL, OPCITEMRESULT** ppValidationResults,
                                  HRESULT** ppErrors) {
    HangGate();
    return checkItems(dwCount, pItemArray, false, ppValidationResults, ppErrors);
}

STDMETHODIMP Group::RemoveItems(DWORD dwCount, OPCHANDLE* phServer, HRESULT** ppErrors) {
    HangGate();
    return forEachItem(dwCount, phServer, ppErrors, [&](DWORD, auto it) {
        m_items.erase(it);
        return S_OK;
    });
}

STDMETHODIMP Group::SetActiveState(DWORD dwCount, OPCHANDLE* phServer, BOOL bActive, HRESULT** ppErrors) {
    HangGate();
    return forEachItem(dwCount, phServer, ppErrors, [&](DWORD, auto it) {
        Item& item = it->second;
        if (bActive && !item.active) item.sent = false;  // an item that wakes up reports its value
        item.active = bActive != FALSE;
        return S_OK;
    });
}

STDMETHODIMP Group::SetClientHandles(DWORD dwCount, OPCHANDLE* phServer, OPCHANDLE* phClient, HRESULT** ppErrors) {
    HangGate();
    if (!phClient && ppErrors) *ppErrors = nullptr;
    if (!phClient) return E_INVALIDARG;
    return forEachItem(dwCount, phServer, ppErrors, [&](DWORD i, auto it) {
        it->second.clientHandle = phClient[i];
        return S_OK;
    });
}

STDMETHODIMP Group::SetDatatypes(DWORD dwCount, OPCHANDLE* phServer, VARTYPE* pRequestedDatatypes, HRESULT** ppErrors) {
    HangGate();
    if (!pRequestedDatatypes && ppErrors) *ppErrors = nullptr;
    if (!pRequestedDatatypes) return E_INVALIDARG;
    return forEachItem(dwCount, phServer, ppErrors, [&](DWORD i, auto it) {
        Item& item = it->second;
        if (!Convertible(*item.tag, pRequestedDatatypes[i])) return OPC_E_BADTYPE;
        item.requested = pRequestedDatatypes[i];
        item.sent = false;
        return S_OK;
    });
}

STDMETHODIMP Group::CreateEnumerator(REFIID, IUnknown** ppUnk) {
    HangGate();
    if (ppUnk) *ppUnk = nullptr;
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------------------------
// IOPCGroupStateMgt

STDMETHODIMP Group::GetState(DWORD* pUpdateRate, BOOL* pActive, LPWSTR* ppName, LONG* pTimeBias,
                             FLOAT* pPercentDeadband, DWORD* pLCID, OPCHANDLE* phClientGroup,
                             OPCHANDLE* phServerGroup) {
    HangGate();
    if (ppName) *ppName = nullptr;
    if (!pUpdateRate || !pActive || !ppName || !pTimeBias || !pPercentDeadband || !pLCID || !phClientGroup ||
        !phServerGroup)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_server) return E_FAIL;
    *ppName = TaskString(m_settings.name);
    if (!*ppName) return E_OUTOFMEMORY;
    *pUpdateRate = m_settings.rate;
    *pActive = m_settings.active;
    *pTimeBias = m_settings.timeBias;
    *pPercentDeadband = m_settings.deadband;
    *pLCID = m_settings.lcid;
    *phClientGroup = m_settings.clientHandle;
    *phServerGroup = m_settings.serverHandle;
    return S_OK;
}

STDMETHODIMP Group::SetState(DWORD* pRequestedUpdateRate, DWORD* pRevisedUpdateRate, BOOL* pActive, LONG* pTimeBias,
                             FLOAT* pPercentDeadband, DWORD* pLCID, OPCHANDLE* phClientGroup) {
    HangGate();
    if (pPercentDeadband && !ValidDeadband(*pPercentDeadband)) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_server) return E_FAIL;
    bool revisedDiffers = false;
    if (pRequestedUpdateRate) {
        revisedDiffers = ReviseRate(*pRequestedUpdateRate, m_settings.rate);
        m_nextDue = 0;
    }
    if (pRevisedUpdateRate) *pRevisedUpdateRate = m_settings.rate;
    if (pActive) {
        if (*pActive && !m_settings.active)
            for (auto& i : m_items) i.second.sent = false;  // a group that wakes up reports everything
        m_settings.active = *pActive;
    }
    if (pTimeBias) m_settings.timeBias = *pTimeBias;
    if (pPercentDeadband) m_settings.deadband = *pPercentDeadband;
    if (pLCID) m_settings.lcid = *pLCID;
    if (phClientGroup) m_settings.clientHandle = *phClientGroup;
    return revisedDiffers ? OPC_S_UNSUPPORTEDRATE : S_OK;
}

ComPtr<OpcServer> Group::server() {
    // Taken under our lock: a dying server object detaches us under this same lock first,
    // so a server whose count already reached zero is never used.
    std::lock_guard<std::mutex> lock(m_lock);
    return (m_server && m_server->tryAddRef()) ? ComPtr<OpcServer>::Adopt(m_server) : ComPtr<OpcServer>();
}

STDMETHODIMP Group::SetName(LPCWSTR szName) {
    HangGate();
    if (!szName || !*szName) return E_INVALIDARG;
    ComPtr<OpcServer> srv = server();
    return srv ? srv->renameGroup(this, szName) : E_FAIL;
}

STDMETHODIMP Group::CloneGroup(LPCWSTR szName, REFIID riid, IUnknown** ppUnk) {
    HangGate();
    if (ppUnk) *ppUnk = nullptr;
    if (!ppUnk) return E_POINTER;
    ComPtr<OpcServer> srv = server();
    if (!srv) return E_FAIL;
    GroupSettings settings;
    std::vector<std::pair<OPCHANDLE, Item>> items;
    OPCHANDLE nextItem;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        settings = m_settings;
        nextItem = m_nextItem;
        for (auto& i : m_items) items.emplace_back(i.first, i.second);
    }
    settings.name = szName ? szName : L"";
    settings.active = FALSE;  // a clone starts inactive
    Group* clone = nullptr;
    HRESULT hr = srv->addGroup(settings, riid, ppUnk, &clone);
    if (FAILED(hr) || !clone) return hr;
    std::lock_guard<std::mutex> lock(clone->m_lock);
    for (auto& i : items) {
        i.second.sent = false;
        clone->m_items.emplace(i.first, std::move(i.second));
    }
    clone->m_nextItem = nextItem;
    return hr;
}

// ---------------------------------------------------------------------------------------------
// IOPCSyncIO

STDMETHODIMP Group::Read(OPCDATASOURCE dwSource, DWORD dwCount, OPCHANDLE* phServer, OPCITEMSTATE** ppItemValues,
                         HRESULT** ppErrors) {
    HangGate();
    if (ppItemValues) *ppItemValues = nullptr;
    if (ppErrors) *ppErrors = nullptr;
    if (!ppItemValues || !ppErrors) return E_POINTER;
    if (dwCount == 0 || !phServer || (dwSource != OPC_DS_CACHE && dwSource != OPC_DS_DEVICE)) return E_INVALIDARG;
    if (!attached()) return E_FAIL;
    if (!AllocPair(dwCount, ppItemValues, ppErrors)) return E_OUTOFMEMORY;
    bool allGood = true;
    std::lock_guard<std::mutex> lock(m_lock);
    for (DWORD i = 0; i < dwCount; ++i) {
        OPCITEMSTATE& st = (*ppItemValues)[i];
        VariantInit(&st.vDataValue);
        auto it = m_items.find(phServer[i]);
        if (it == m_items.end()) {
            (*ppErrors)[i] = OPC_E_INVALIDHANDLE;
            allGood = false;
            continue;
        }
        const Item& item = it->second;
        Sample s = Simulation::instance().read(*item.tag);
        st.hClient = item.clientHandle;
        st.ftTimeStamp = s.stamp;
        HRESULT hr = Deliver(s.value.Ref(), item.requested, &st.vDataValue);
        st.wQuality = FAILED(hr)                                                           ? kQualityBad
                      : (dwSource == OPC_DS_CACHE && (!m_settings.active || !item.active)) ? kQualityOutOfService
                                                                                           : s.quality;
        (*ppErrors)[i] = hr;
        if (FAILED(hr)) allGood = false;
    }
    return allGood ? S_OK : S_FALSE;
}

STDMETHODIMP Group::Write(DWORD dwCount, OPCHANDLE* phServer, VARIANT* pItemValues, HRESULT** ppErrors) {
    HangGate();
    if (!pItemValues && ppErrors) *ppErrors = nullptr;
    if (!pItemValues) return E_INVALIDARG;
    return forEachItem(dwCount, phServer, ppErrors,
                       [&](DWORD i, auto it) { return Simulation::instance().write(*it->second.tag, pItemValues[i]); });
}

// ---------------------------------------------------------------------------------------------
// IOPCAsyncIO2

DWORD Group::s_nextCancelId() {
    static std::atomic<DWORD> next{0};
    return ++next;
}

HRESULT Group::queue(Task task, DWORD* cancelId) {
    if (!m_callback.connected()) return CONNECT_E_NOCONNECTION;
    task.cancelId = s_nextCancelId();
    *cancelId = task.cancelId;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_server) return E_FAIL;
        m_tasks.push_back(std::move(task));
    }
    Worker::wake();
    return S_OK;
}

HRESULT Group::queueItems(TaskKind kind, DWORD count, const OPCHANDLE* handles, const VARIANT* values,
                          DWORD transactionId, DWORD* cancelId, HRESULT** errors) {
    if (cancelId) *cancelId = 0;
    if (errors) *errors = nullptr;
    if (!cancelId || !errors) return E_POINTER;
    if (count == 0 || !handles) return E_INVALIDARG;
    if (!m_callback.connected()) return CONNECT_E_NOCONNECTION;
    HRESULT* errs = TaskAlloc<HRESULT>(count);
    if (!errs) return E_OUTOFMEMORY;
    Task task{kind, transactionId, 0, {}, {}};
    bool allGood = true;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_server) {
            CoTaskMemFree(errs);
            return E_FAIL;
        }
        for (DWORD i = 0; i < count; ++i) {
            if (m_items.count(handles[i]) == 0) {
                errs[i] = OPC_E_INVALIDHANDLE;
                allGood = false;
                continue;
            }
            task.handles.push_back(handles[i]);
            if (values) task.values.emplace_back(values[i]);
        }
    }
    if (!task.handles.empty()) {
        HRESULT hr = queue(std::move(task), cancelId);
        if (FAILED(hr)) {
            CoTaskMemFree(errs);
            return hr;
        }
    }
    *errors = errs;  // when every handle failed there is no callback
    return allGood ? S_OK : S_FALSE;
}

STDMETHODIMP Group::Read(DWORD dwCount, OPCHANDLE* phServer, DWORD dwTransactionID, DWORD* pdwCancelID,
                         HRESULT** ppErrors) {
    HangGate();
    return queueItems(TaskKind::Read, dwCount, phServer, nullptr, dwTransactionID, pdwCancelID, ppErrors);
}

STDMETHODIMP Group::Write(DWORD dwCount, OPCHANDLE* phServer, VARIANT* pItemValues, DWORD dwTransactionID,
                          DWORD* pdwCancelID, HRESULT** ppErrors) {
    HangGate();
    if (!pItemValues) {
        if (pdwCancelID) *pdwCancelID = 0;
        if (ppErrors) *ppErrors = nullptr;
        return E_INVALIDARG;
    }
    return queueItems(TaskKind::Write, dwCount, phServer, pItemValues, dwTransactionID, pdwCancelID, ppErrors);
}

STDMETHODIMP Group::Refresh2(OPCDATASOURCE dwSource, DWORD dwTransactionID, DWORD* pdwCancelID) {
    HangGate();
    if (pdwCancelID) *pdwCancelID = 0;
    if (!pdwCancelID) return E_POINTER;
    if (dwSource != OPC_DS_CACHE && dwSource != OPC_DS_DEVICE) return E_INVALIDARG;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_server || !m_settings.active) return E_FAIL;
        bool anyActive = false;
        for (auto& i : m_items) anyActive = anyActive || i.second.active;
        if (!anyActive) return E_FAIL;
    }
    return queue(Task{TaskKind::Refresh, dwTransactionID, 0, {}, {}}, pdwCancelID);
}

STDMETHODIMP Group::Cancel2(DWORD dwCancelID) {
    HangGate();
    std::lock_guard<std::mutex> lock(m_lock);
    for (Task& t : m_tasks) {
        if (t.cancelId == dwCancelID && t.kind != TaskKind::Cancelled) {
            t.kind = TaskKind::Cancelled;
            return S_OK;
        }
    }
    return E_FAIL;  // unknown or already completed
}

STDMETHODIMP Group::SetEnable(BOOL bEnable) {
    HangGate();
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_server) return E_FAIL;
    if (bEnable && !m_enabled) m_nextDue = 0;
    m_enabled = bEnable != FALSE;
    return S_OK;
}

STDMETHODIMP Group::GetEnable(BOOL* pbEnable) {
    HangGate();
    if (!pbEnable) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_server) return E_FAIL;
    *pbEnable = m_enabled;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IConnectionPointContainer

STDMETHODIMP Group::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    HangGate();
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Group::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    HangGate();
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != IID_IOPCDataCallback) return CONNECT_E_NOCONNECTION;
    *ppCP = &m_callback;
    m_callback.AddRef();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Worker side

bool Group::changed(const Item& item, const Sample& s) const {
    if (!item.sent || item.lastQuality != s.quality) return true;
    if (item.tag->info.analog && m_settings.deadband > 0) {
        const double band = m_settings.deadband / 100.0 * (item.tag->info.euHigh - item.tag->info.euLow);
        return std::fabs(AsDouble(s.value.Ref()) - AsDouble(item.lastValue.Ref())) > band;
    }
    return !SameValue(s.value.Ref(), item.lastValue.Ref());
}

void Group::markSent(Item& item, const Sample& s) {
    item.sent = true;
    item.lastValue = s.value;
    item.lastQuality = s.quality;
}

void Group::fire(Batch& batch, DWORD transactionId, bool readComplete) {
    for (ComPtr<IOPCDataCallback>& sink : m_callback.sinks()) {
        const DWORD n = static_cast<DWORD>(batch.handles.size());
        HRESULT hr = readComplete
                         ? sink->OnReadComplete(transactionId, batch.group, batch.masterQuality(), batch.masterError(),
                                                n, batch.handles.data(), batch.values.data(), batch.qualities.data(),
                                                batch.stamps.data(), batch.errors.data())
                         : sink->OnDataChange(transactionId, batch.group, batch.masterQuality(), batch.masterError(), n,
                                              batch.handles.data(), batch.values.data(), batch.qualities.data(),
                                              batch.stamps.data(), batch.errors.data());
        if (ClientGone(hr)) m_callback.drop(sink.Get());
    }
    if (!readComplete) fireStream(batch, transactionId);
}

void Group::tick(ULONGLONG now, bool scanned) {
    // Asynchronous requests first, in the order they came.
    for (;;) {
        Task task;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_tasks.empty() || !m_server) break;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        runTask(task);
    }

    Batch batch;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // Nothing counts as sent until someone listens; the first update follows the advise at once.
        // After that values change only at scans, so an update goes out in the pass of a scan
        // (the rate kept to whole scans): a value leaves no later than the scan that stamped it.
        const bool first = m_nextDue == 0;
        const bool due = first || (scanned && now + Simulation::kScanMs / 2 >= m_nextDue);
        if (!m_server || !m_settings.active || !m_enabled || !due || !listening()) return;
        m_nextDue = (first || now > m_nextDue + m_settings.rate) ? now + m_settings.rate : m_nextDue + m_settings.rate;
        batch.group = m_settings.clientHandle;
        for (auto& entry : m_items) {
            Item& item = entry.second;
            if (!item.active) continue;
            Sample s = Simulation::instance().read(*item.tag);
            if (!changed(item, s)) continue;
            batch.add(item.clientHandle, s, item.requested);
            markSent(item, s);
        }
    }
    if (!batch.handles.empty()) fire(batch, 0, false);
}

void Group::runTask(Task& task) {
    // Cancelled requests and write completions need no values.
    OPCHANDLE group;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        group = m_settings.clientHandle;
    }
    if (task.kind == TaskKind::Cancelled) {
        for (ComPtr<IOPCDataCallback>& sink : m_callback.sinks())
            if (ClientGone(sink->OnCancelComplete(task.transactionId, group))) m_callback.drop(sink.Get());
        return;
    }
    if (task.kind == TaskKind::Write) {
        std::vector<OPCHANDLE> clients;
        std::vector<HRESULT> errors;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            for (size_t i = 0; i < task.handles.size(); ++i) {
                auto it = m_items.find(task.handles[i]);
                if (it == m_items.end()) continue;  // removed meanwhile
                clients.push_back(it->second.clientHandle);
                errors.push_back(Simulation::instance().write(*it->second.tag, task.values[i].Ref()));
            }
        }
        HRESULT master = S_OK;
        for (HRESULT e : errors)
            if (e != S_OK) master = S_FALSE;
        for (ComPtr<IOPCDataCallback>& sink : m_callback.sinks())
            if (ClientGone(sink->OnWriteComplete(task.transactionId, group, master, static_cast<DWORD>(clients.size()),
                                                 clients.data(), errors.data())))
                m_callback.drop(sink.Get());
        return;
    }
    Batch batch;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        batch.group = m_settings.clientHandle;
        if (task.kind == TaskKind::Refresh) {
            if (!m_settings.active) return;
            for (auto& entry : m_items) {
                Item& item = entry.second;
                if (!item.active) continue;
                Sample s = Simulation::instance().read(*item.tag);
                batch.add(item.clientHandle, s, item.requested);
                markSent(item, s);  // a refresh counts as the last value sent
            }
        } else {
            for (OPCHANDLE h : task.handles) {
                auto it = m_items.find(h);
                if (it == m_items.end()) continue;
                batch.add(it->second.clientHandle, Simulation::instance().read(*it->second.tag), it->second.requested);
            }
        }
    }
    if (!batch.handles.empty()) fire(batch, task.transactionId, task.kind == TaskKind::Read);
}

}  // namespace sim
