// The OPC server object: groups, status, locale, shutdown connection point and browsing.
#include "server.h"

#include "enum_string.h"
#include "worker.h"

#include <cwchar>

namespace sim {
namespace {

const wchar_t kVendorInfo[] = L"Quorvane Simulation Server";
constexpr LCID kEnglish = 0x0409;

bool LocaleSupported(LCID lcid) {
    return lcid == kEnglish || lcid == LOCALE_SYSTEM_DEFAULT || lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_NEUTRAL ||
           lcid == LOCALE_INVARIANT;
}

FILETIME StartTime() {
    static const FILETIME start = UtcNow();
    return start;
}

}  // namespace

HRESULT OpcServer::create(const Flavour& flavour, REFIID riid, void** ppv) {
    StartTime();
    OpcServer* server = new (std::nothrow) OpcServer(flavour);
    if (!server) return E_OUTOFMEMORY;
    HRESULT hr = server->QueryInterface(riid, ppv);
    server->Release();
    return hr;
}

OpcServer::OpcServer(const Flavour& flavour)
    : m_flavour(flavour),
      m_space(flavour.space),
      m_addressSpace(AddressSpace::get(flavour.space)),
      m_position(m_addressSpace.root()),
      m_shutdown(this, IID_IOPCShutdown, /*single=*/false) {
    Worker::add(this);
}

OpcServer::~OpcServer() {
    Worker::remove(this);
    std::map<OPCHANDLE, Group*> groups;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        groups.swap(m_groups);
    }
    for (auto& g : groups) {
        g.second->detach();
        g.second->Release();
    }
    m_shutdown.dropAll();
}

bool OpcServer::tryAddRef() {
    ULONG n = m_refs.load();
    while (n != 0)
        if (m_refs.compare_exchange_weak(n, n + 1)) return true;
    return false;
}

STDMETHODIMP OpcServer::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    // A DA 1.0 server knows nothing of the 2.0 additions (common, shutdown, properties).
    const bool da2 = !m_flavour.da1;
    if (riid == IID_IUnknown || riid == IID_IOPCServer)
        *ppv = static_cast<IOPCServer*>(this);
    else if (da2 && riid == IID_IOPCCommon)
        *ppv = static_cast<IOPCCommon*>(this);
    else if (da2 && riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (m_flavour.browsing && riid == IID_IOPCBrowseServerAddressSpace)
        *ppv = static_cast<IOPCBrowseServerAddressSpace*>(this);
    else if (da2 && riid == IID_IOPCItemProperties)
        *ppv = static_cast<IOPCItemProperties*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) OpcServer::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) OpcServer::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

void OpcServer::sendShutdown(const std::wstring& reason) {
    for (ComPtr<IOPCShutdown>& sink : m_shutdown.sinks())
        if (ClientGone(sink->ShutdownRequest(reason.c_str()))) m_shutdown.drop(sink.Get());
}

// ---------------------------------------------------------------------------------------------
// Groups

std::wstring OpcServer::uniqueNameLocked() {
    for (unsigned n = 1;; ++n) {
        std::wstring name = L"Group" + std::to_wstring(n);
        if (!findLocked(name)) return name;
    }
}

Group* OpcServer::findLocked(const std::wstring& name) {
    for (auto& g : m_groups)
        if (g.second->name() == name) return g.second;
    return nullptr;
}

HRESULT OpcServer::addGroup(GroupSettings& s, REFIID riid, IUnknown** ppUnk, Group** made) {
    *ppUnk = nullptr;
    if (made) *made = nullptr;
    if (Simulation::instance().refuseGroups()) return E_FAIL;
    const bool revised = ReviseRate(s.rate, s.rate);
    std::lock_guard<std::mutex> lock(m_lock);
    if (s.name.empty())
        s.name = uniqueNameLocked();
    else if (findLocked(s.name))
        return OPC_E_DUPLICATENAME;
    s.serverHandle = m_nextGroup++;
    Group* group = Group::create(this, m_space, m_flavour.da1, s);
    if (!group) return E_OUTOFMEMORY;
    HRESULT hr = group->QueryInterface(riid, reinterpret_cast<void**>(ppUnk));
    if (FAILED(hr)) {
        group->detach();
        group->Release();
        return hr;
    }
    m_groups.emplace(s.serverHandle, group);  // keeps the creation reference
    if (made) *made = group;
    return revised ? OPC_S_UNSUPPORTEDRATE : S_OK;
}

HRESULT OpcServer::renameGroup(Group* group, const std::wstring& name) {
    std::lock_guard<std::mutex> lock(m_lock);
    bool listed = false;
    for (auto& g : m_groups) listed = listed || g.second == group;
    if (!listed) return E_FAIL;
    Group* other = findLocked(name);
    if (other && other != group) return OPC_E_DUPLICATENAME;
    group->setNameLocked(name);
    return S_OK;
}

STDMETHODIMP OpcServer::AddGroup(LPCWSTR szName, BOOL bActive, DWORD dwRequestedUpdateRate, OPCHANDLE hClientGroup,
                                 LONG* pTimeBias, FLOAT* pPercentDeadband, DWORD dwLCID, OPCHANDLE* phServerGroup,
                                 DWORD* pRevisedUpdateRate, REFIID riid, IUnknown** ppUnk) {
    HangGate();
    if (ppUnk) *ppUnk = nullptr;
    if (phServerGroup) *phServerGroup = 0;
    if (pRevisedUpdateRate) *pRevisedUpdateRate = 0;
    if (!ppUnk || !phServerGroup || !pRevisedUpdateRate) return E_POINTER;
    if (pPercentDeadband && !ValidDeadband(*pPercentDeadband)) return E_INVALIDARG;
    GroupSettings s;
    s.name = szName ? szName : L"";
    s.active = bActive;
    s.rate = dwRequestedUpdateRate;
    s.clientHandle = hClientGroup;
    s.deadband = pPercentDeadband ? *pPercentDeadband : 0.0f;
    s.lcid = dwLCID;
    if (pTimeBias) {
        s.timeBias = *pTimeBias;
    } else {
        TIME_ZONE_INFORMATION tz;
        GetTimeZoneInformation(&tz);
        s.timeBias = tz.Bias;
    }
    HRESULT hr = addGroup(s, riid, ppUnk, nullptr);
    if (SUCCEEDED(hr)) {
        *phServerGroup = s.serverHandle;
        *pRevisedUpdateRate = s.rate;
    }
    return hr;
}

STDMETHODIMP OpcServer::GetGroupByName(LPCWSTR szName, REFIID riid, IUnknown** ppUnk) {
    HangGate();
    if (ppUnk) *ppUnk = nullptr;
    if (!ppUnk) return E_POINTER;
    if (!szName) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    Group* g = findLocked(szName);
    if (!g) return E_INVALIDARG;
    return g->QueryInterface(riid, reinterpret_cast<void**>(ppUnk));
}

STDMETHODIMP OpcServer::RemoveGroup(OPCHANDLE hServerGroup, BOOL bForce) {
    HangGate();
    Group* group = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_groups.find(hServerGroup);
        if (it == m_groups.end()) return E_INVALIDARG;
        group = it->second;
        m_groups.erase(it);
    }
    group->detach();
    // Release's answer is only a hint, but it is exact for our own objects.
    const ULONG left = group->Release();
    return (left > 0 && !bForce) ? OPC_S_INUSE : S_OK;
}

STDMETHODIMP OpcServer::GetStatus(OPCSERVERSTATUS** ppServerStatus) {
    HangGate();
    if (!ppServerStatus) return E_POINTER;
    *ppServerStatus = nullptr;
    auto* st = TaskAlloc<OPCSERVERSTATUS>(1);
    LPWSTR vendor = TaskString(kVendorInfo);
    if (!st || !vendor) {
        CoTaskMemFree(st);
        CoTaskMemFree(vendor);
        return E_OUTOFMEMORY;
    }
    st->ftStartTime = StartTime();
    st->ftCurrentTime = UtcNow();
    st->dwServerState = OPC_STATUS_RUNNING;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        st->dwGroupCount = static_cast<DWORD>(m_groups.size());
    }
    st->dwBandWidth = 0xFFFFFFFF;  // not measured
    st->wMajorVersion = 1;
    st->wMinorVersion = 0;
    st->wBuildNumber = 1;
    st->szVendorInfo = vendor;
    *ppServerStatus = st;
    return S_OK;
}

STDMETHODIMP OpcServer::CreateGroupEnumerator(OPCENUMSCOPE dwScope, REFIID riid, IUnknown** ppUnk) {
    HangGate();
    if (ppUnk) *ppUnk = nullptr;
    if (!ppUnk) return E_POINTER;
    if (riid != IID_IEnumString) return E_NOINTERFACE;  // group objects are not enumerated
    auto names = std::make_shared<NameList>();
    if (dwScope != OPC_ENUM_PUBLIC && dwScope != OPC_ENUM_PUBLIC_CONNECTIONS) {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto& g : m_groups) names->names.push_back(g.second->name());
    }
    IEnumString* e = EnumString::create(names);
    if (!e) return E_OUTOFMEMORY;
    *ppUnk = e;
    return names->size() ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------------------------------------
// Errors and locale

HRESULT OpcServer::errorString(HRESULT code, LCID locale, LPWSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!LocaleSupported(locale)) return E_INVALIDARG;
    std::wstring text;
    if (!ErrorText(code, text)) return E_INVALIDARG;
    *out = TaskString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OpcServer::GetErrorString(HRESULT dwError, LCID dwLocale, LPWSTR* ppString) {
    HangGate();
    return errorString(dwError, dwLocale, ppString);
}

STDMETHODIMP OpcServer::GetErrorString(HRESULT dwError, LPWSTR* ppString) {
    HangGate();
    LCID lcid;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        lcid = m_lcid;
    }
    return errorString(dwError, lcid, ppString);
}

STDMETHODIMP OpcServer::SetLocaleID(LCID dwLcid) {
    HangGate();
    if (!LocaleSupported(dwLcid)) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    m_lcid = dwLcid;
    return S_OK;
}

STDMETHODIMP OpcServer::GetLocaleID(LCID* pdwLcid) {
    HangGate();
    if (!pdwLcid) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *pdwLcid = m_lcid;
    return S_OK;
}

STDMETHODIMP OpcServer::QueryAvailableLocaleIDs(DWORD* pdwCount, LCID** pdwLcid) {
    HangGate();
    if (pdwCount) *pdwCount = 0;
    if (pdwLcid) *pdwLcid = nullptr;
    if (!pdwCount || !pdwLcid) return E_POINTER;
    *pdwLcid = TaskAlloc<LCID>(1);
    if (!*pdwLcid) return E_OUTOFMEMORY;
    (*pdwLcid)[0] = kEnglish;
    *pdwCount = 1;
    return S_OK;
}

STDMETHODIMP OpcServer::SetClientName(LPCWSTR szName) {
    HangGate();
    std::lock_guard<std::mutex> lock(m_lock);
    m_clientName = szName ? szName : L"";
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IConnectionPointContainer

STDMETHODIMP OpcServer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    HangGate();
    if (ppEnum) *ppEnum = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP OpcServer::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    HangGate();
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (riid != IID_IOPCShutdown) return CONNECT_E_NOCONNECTION;
    *ppCP = &m_shutdown;
    m_shutdown.AddRef();
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// IOPCBrowseServerAddressSpace

STDMETHODIMP OpcServer::QueryOrganization(OPCNAMESPACETYPE* pNameSpaceType) {
    HangGate();
    if (!pNameSpaceType) return E_POINTER;
    *pNameSpaceType = m_space == Space::Flat ? OPC_NS_FLAT : OPC_NS_HIERARCHIAL;
    return S_OK;
}

STDMETHODIMP OpcServer::ChangeBrowsePosition(OPCBROWSEDIRECTION dwBrowseDirection, LPCWSTR szString) {
    HangGate();
    if (m_space == Space::Flat) return E_FAIL;
    const std::wstring arg = szString ? szString : L"";
    std::lock_guard<std::mutex> lock(m_lock);
    const BrowseNode* to = nullptr;
    switch (dwBrowseDirection) {
        case OPC_BROWSE_UP:
            if (!m_position->parent) return E_FAIL;
            to = m_position->parent;
            break;
        case OPC_BROWSE_DOWN:
            to = m_addressSpace.childBranch(m_position, arg);
            break;
        case OPC_BROWSE_TO:
            to = m_addressSpace.branch(arg);
            break;
        default:
            return E_INVALIDARG;
    }
    if (!to) return E_INVALIDARG;
    m_position = to;
    return S_OK;
}

STDMETHODIMP OpcServer::BrowseOPCItemIDs(OPCBROWSETYPE dwBrowseFilterType, LPCWSTR szFilterCriteria,
                                         VARTYPE vtDataTypeFilter, DWORD dwAccessRightsFilter,
                                         IEnumString** ppIEnumString) {
    HangGate();
    if (!ppIEnumString) return E_POINTER;
    *ppIEnumString = nullptr;
    if (dwBrowseFilterType != OPC_BRANCH && dwBrowseFilterType != OPC_LEAF && dwBrowseFilterType != OPC_FLAT)
        return E_INVALIDARG;
    const BrowseNode* at;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        at = m_position;
    }
    auto names = std::make_shared<NameList>(m_addressSpace.browse(
        at, dwBrowseFilterType, szFilterCriteria ? szFilterCriteria : L"", vtDataTypeFilter, dwAccessRightsFilter));
    *ppIEnumString = EnumString::create(names);
    if (!*ppIEnumString) return E_OUTOFMEMORY;
    return names->size() ? S_OK : S_FALSE;
}

STDMETHODIMP OpcServer::GetItemID(LPWSTR szItemDataID, LPWSTR* szItemID) {
    HangGate();
    if (!szItemID) return E_POINTER;
    *szItemID = nullptr;
    const BrowseNode* at;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        at = m_position;
    }
    std::wstring id;
    if (!m_addressSpace.itemId(at, szItemDataID ? szItemDataID : L"", id)) return E_INVALIDARG;
    *szItemID = TaskString(id);
    return *szItemID ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP OpcServer::BrowseAccessPaths(LPCWSTR, IEnumString** ppIEnumString) {
    HangGate();
    if (ppIEnumString) *ppIEnumString = nullptr;
    return E_NOTIMPL;
}

}  // namespace sim
