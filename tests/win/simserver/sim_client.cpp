// Raw-COM client helpers for the simulation server tests (see sim_client.h).
#include "sim_client.h"

namespace simtest {

// ---------------------------------------------------------------------------------------------
STDMETHODIMP DataSink::QueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IUnknown || riid == IID_IOPCDataCallback) {
        *ppv = static_cast<IOPCDataCallback*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DataSink::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

void DataSink::record(std::vector<Received>& into, DWORD transid, DWORD count, OPCHANDLE* items, VARIANT* values) {
    for (DWORD i = 0; i < count; ++i) into.push_back({transid, items[i], Variant(values[i])});
}

STDMETHODIMP DataSink::OnDataChange(DWORD dwTransid, OPCHANDLE, HRESULT, HRESULT, DWORD dwCount,
                                    OPCHANDLE* phClientItems, VARIANT* pvValues, WORD*, FILETIME*, HRESULT*) {
    ++dataChangeCalls;
    callSizes.push_back(dwCount);
    record(changes, dwTransid, dwCount, phClientItems, pvValues);
    return S_OK;
}

STDMETHODIMP DataSink::OnReadComplete(DWORD dwTransid, OPCHANDLE, HRESULT, HRESULT, DWORD dwCount,
                                      OPCHANDLE* phClientItems, VARIANT* pvValues, WORD*, FILETIME*, HRESULT*) {
    record(reads, dwTransid, dwCount, phClientItems, pvValues);
    return S_OK;
}

STDMETHODIMP DataSink::OnWriteComplete(DWORD dwTransid, OPCHANDLE, HRESULT, DWORD dwCount, OPCHANDLE* pClienthandles,
                                       HRESULT* pErrors) {
    writeTransactions.push_back(dwTransid);
    for (DWORD i = 0; i < dwCount; ++i) writes.emplace_back(pClienthandles[i], pErrors[i]);
    return S_OK;
}

STDMETHODIMP DataSink::OnCancelComplete(DWORD, OPCHANDLE) { return S_OK; }

std::vector<const Received*> DataSink::of(OPCHANDLE item) const {
    std::vector<const Received*> out;
    for (const Received& r : changes)
        if (r.item == item) out.push_back(&r);
    return out;
}

// ---------------------------------------------------------------------------------------------
Advise::Advise(IUnknown* container, const IID& iid, IUnknown* sink) {
    auto cpc = Query<IConnectionPointContainer>(container, IID_IConnectionPointContainer);
    if (!cpc) return;
    m_hr = cpc->FindConnectionPoint(iid, m_point.Put());
    if (SUCCEEDED(m_hr)) m_hr = m_point->Advise(sink, &m_cookie);
}

Advise::~Advise() {
    if (m_point && SUCCEEDED(m_hr)) m_point->Unadvise(m_cookie);
}

TestGroup::TestGroup(IOPCServer* server, DWORD rate, FLOAT deadband, BOOL active, const wchar_t* name)
    : m_server(server) {
    m_hr = server->AddGroup(name, active, rate, 1, nullptr, &deadband, 0x409, &m_handle, &m_revised, IID_IOPCItemMgt,
                            reinterpret_cast<IUnknown**>(m_items.Put()));
}

TestGroup::~TestGroup() { release(); }

void TestGroup::release() {
    m_items.Reset();
    if (m_server && m_handle) m_server->RemoveGroup(m_handle, FALSE);
    m_handle = 0;
    m_server.Reset();
}

OPCHANDLE TestGroup::add(const wchar_t* id, OPCHANDLE client, HRESULT* error, VARTYPE requested) {
    OPCITEMDEF def{};
    def.szAccessPath = const_cast<LPWSTR>(L"");
    def.szItemID = const_cast<LPWSTR>(id);
    def.bActive = TRUE;
    def.hClient = client;
    def.vtRequestedDataType = requested;
    OPCITEMRESULT* results = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = m_items->AddItems(1, &def, &results, &errors);
    OPCHANDLE h = 0;
    if (SUCCEEDED(hr)) {
        hr = errors[0];
        if (SUCCEEDED(hr)) h = results[0].hServer;
        CoTaskMemFree(results[0].pBlob);
    }
    CoTaskMemFree(results);
    CoTaskMemFree(errors);
    if (error) *error = hr;
    return h;
}

HRESULT TestGroup::write(OPCHANDLE item, const VARIANT& value) {
    HRESULT* errors = nullptr;
    HRESULT hr = sync()->Write(1, &item, const_cast<VARIANT*>(&value), &errors);
    if (SUCCEEDED(hr)) hr = errors[0];
    CoTaskMemFree(errors);
    return hr;
}

HRESULT TestGroup::read(OPCHANDLE item, Variant& value, WORD& quality, OPCDATASOURCE source) {
    OPCITEMSTATE* states = nullptr;
    HRESULT* errors = nullptr;
    HRESULT hr = sync()->Read(source, 1, &item, &states, &errors);
    if (SUCCEEDED(hr)) {
        hr = errors[0];
        value = Variant(states[0].vDataValue);
        quality = states[0].wQuality;
        VariantClear(&states[0].vDataValue);
    }
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
    return hr;
}

HRESULT WriteOnce(IOPCServer* server, const wchar_t* id, const VARIANT& value) {
    TestGroup g(server, 1000, 0, FALSE);
    if (FAILED(g.addResult())) return g.addResult();
    HRESULT hr;
    OPCHANDLE h = g.add(id, 1, &hr);
    return h ? g.write(h, value) : hr;
}

Variant MakeText(const wchar_t* s) {
    Variant v;
    v.SetText(s);
    return v;
}

HRESULT Drain(IEnumString* e, ULONG chunk, std::vector<std::wstring>& names) {
    std::vector<LPOLESTR> buf(chunk);
    for (;;) {
        ULONG got = 0;
        HRESULT hr = e->Next(chunk, buf.data(), &got);
        if (FAILED(hr)) return hr;
        for (ULONG i = 0; i < got; ++i) {
            names.emplace_back(buf[i] ? buf[i] : L"(null)");
            CoTaskMemFree(buf[i]);
        }
        if (hr == S_FALSE || got == 0) return S_OK;
    }
}

HRESULT Browse(IOPCBrowseServerAddressSpace* browse, OPCBROWSETYPE type, std::vector<std::wstring>& names,
               const wchar_t* filter, VARTYPE vt, DWORD rights) {
    names.clear();
    ComPtr<IEnumString> e;
    HRESULT hr = browse->BrowseOPCItemIDs(type, filter, vt, rights, e.Put());
    if (FAILED(hr)) return hr;
    if (!e) return E_POINTER;
    HRESULT drained = Drain(e.Get(), 64, names);
    return FAILED(drained) ? drained : hr;
}

void RunOrphanClient() {
    ComPtr<IOPCServer> server;
    if (SUCCEEDED(Connect(kHierarchical, server))) {
        auto* group = new TestGroup(server.Get(), 50);
        group->add(L"Plant.Line1.Counter", 1);
        auto* sink = new DataSink;
        auto* advise = new Advise(group->items(), IID_IOPCDataCallback, sink);
        auto browse = Query<IOPCBrowseServerAddressSpace>(server.Get(), IID_IOPCBrowseServerAddressSpace);
        IEnumString* e = nullptr;
        browse->BrowseOPCItemIDs(OPC_FLAT, L"", VT_EMPTY, 0, &e);
        qvtest::WaitUntil([&] { return sink->dataChangeCalls > 0; }, 10000);
        (void)advise;
    }
    TerminateProcess(GetCurrentProcess(), 3);  // nothing released, no clean-up at all
    ExitProcess(3);                            // not reached
}

namespace {
ComPtr<IOPCServer>& KeepAliveServer() {
    static ComPtr<IOPCServer> s;
    return s;
}
}  // namespace

IOPCServer* KeepAlive::server() {
    if (!KeepAliveServer()) Connect(kHierarchical, KeepAliveServer());
    return KeepAliveServer().Get();
}

void KeepAlive::release() { KeepAliveServer().Reset(); }

}  // namespace simtest
