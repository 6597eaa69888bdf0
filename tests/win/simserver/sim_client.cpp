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

STDMETHODIMP DataSink::OnDataChange(DWORD dwTransid, OPCHANDLE, HRESULT, HRESULT, DWORD dwCount,
                                    OPCHANDLE* phClientItems, VARIANT* pvValues, WORD*, FILETIME*, HRESULT*) {
    callSizes.push_back(dwCount);
    for (DWORD i = 0; i < dwCount; ++i) changes.push_back({dwTransid, phClientItems[i], Variant(pvValues[i])});
    return S_OK;
}

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

TestGroup::TestGroup(IOPCServer* server, DWORD rate, FLOAT deadband, BOOL active) : m_server(server) {
    m_hr = server->AddGroup(L"", active, rate, 1, nullptr, &deadband, 0x409, &m_handle, &m_revised, IID_IOPCItemMgt,
                            reinterpret_cast<IUnknown**>(m_items.Put()));
}

TestGroup::~TestGroup() { release(); }

void TestGroup::release() {
    m_items.Reset();
    if (m_server && m_handle) m_server->RemoveGroup(m_handle, FALSE);
    m_handle = 0;
    m_server.Reset();
}

OPCHANDLE TestGroup::add(const wchar_t* id, OPCHANDLE client, HRESULT* error) {
    OPCITEMDEF def{};
    def.szAccessPath = const_cast<LPWSTR>(L"");
    def.szItemID = const_cast<LPWSTR>(id);
    def.bActive = TRUE;
    def.hClient = client;
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

HRESULT Browse(IOPCBrowseServerAddressSpace* browse, OPCBROWSETYPE type, std::vector<std::wstring>& names,
               ULONG chunk) {
    names.clear();
    ComPtr<IEnumString> e;
    HRESULT hr = browse->BrowseOPCItemIDs(type, L"", VT_EMPTY, 0, e.Put());
    if (FAILED(hr) || !e) return FAILED(hr) ? hr : E_POINTER;
    std::vector<LPOLESTR> buf(chunk);
    for (ULONG got = chunk; got == chunk;) {
        HRESULT next = e->Next(chunk, buf.data(), &got);
        if (FAILED(next)) return next;
        for (ULONG i = 0; i < got; ++i) {
            names.emplace_back(buf[i] ? buf[i] : L"(null)");
            CoTaskMemFree(buf[i]);
        }
    }
    return hr;
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
        qvtest::WaitUntil([&] { return !sink->callSizes.empty(); }, 10000);
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
