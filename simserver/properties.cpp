// IOPCItemProperties of the server object and the texts of GetErrorString.
#include "server.h"

namespace sim {
namespace {

struct Property {
    DWORD id;
    const wchar_t* description;
    VARTYPE type;  // VT_EMPTY: the item's canonical type
    bool analogOnly;
};

const Property kProperties[] = {
    {1, L"Item Canonical DataType", VT_I2, false},
    {2, L"Item Value", VT_EMPTY, false},
    {3, L"Item Quality", VT_I2, false},
    {4, L"Item Timestamp", VT_DATE, false},
    {5, L"Item Access Rights", VT_I4, false},
    {6, L"Server Scan Rate", VT_R4, false},
    {7, L"Item EU Type", VT_I4, false},
    {8, L"Item EUInfo", VT_ARRAY | VT_R8, true},
    {101, L"Item Description", VT_BSTR, false},
    {102, L"High EU", VT_R8, true},
    {103, L"Low EU", VT_R8, true},
};

const Property* FindProperty(const Tag& tag, DWORD id) {
    for (const Property& p : kProperties)
        if (p.id == id && (!p.analogOnly || tag.info.analog)) return &p;
    return nullptr;
}

HRESULT PropertyValue(const Tag& tag, DWORD id, VARIANT* out) {
    VariantInit(out);
    const Sample s = Simulation::instance().read(tag);
    switch (id) {
        case 1:
            out->vt = VT_I2;
            out->iVal = static_cast<SHORT>(tag.info.type);
            return S_OK;
        case 2:
            return s.value.CopyTo(out);
        case 3:
            out->vt = VT_I2;
            out->iVal = static_cast<SHORT>(s.quality);
            return S_OK;
        case 4: {
            SYSTEMTIME st;
            FileTimeToSystemTime(&s.stamp, &st);
            out->vt = VT_DATE;
            return SystemTimeToVariantTime(&st, &out->date) ? S_OK : E_FAIL;
        }
        case 5:
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(tag.info.rights);
            return S_OK;
        case 6:
            out->vt = VT_R4;
            out->fltVal = static_cast<float>(Simulation::kScanMs);
            return S_OK;
        case 7:
            out->vt = VT_I4;
            out->lVal = tag.info.analog ? OPC_ANALOG : OPC_NOENUM;
            return S_OK;
        case 8: {
            SAFEARRAY* sa = SafeArrayCreateVector(VT_R8, 0, 2);
            if (!sa) return E_OUTOFMEMORY;
            LONG i = 0;
            double low = tag.info.euLow, high = tag.info.euHigh;
            SafeArrayPutElement(sa, &i, &low);
            i = 1;
            SafeArrayPutElement(sa, &i, &high);
            out->vt = VT_ARRAY | VT_R8;
            out->parray = sa;
            return S_OK;
        }
        case 101:
            out->vt = VT_BSTR;
            out->bstrVal = SysAllocString(tag.info.id.c_str());
            return S_OK;
        case 102:
            out->vt = VT_R8;
            out->dblVal = tag.info.euHigh;
            return S_OK;
        case 103:
            out->vt = VT_R8;
            out->dblVal = tag.info.euLow;
            return S_OK;
        default:
            return OPC_E_INVALID_PID;
    }
}

}  // namespace

STDMETHODIMP OpcServer::QueryAvailableProperties(LPWSTR szItemID, DWORD* pdwCount, DWORD** ppPropertyIDs,
                                                 LPWSTR** ppDescriptions, VARTYPE** ppvtDataTypes) {
    HangGate();
    if (pdwCount) *pdwCount = 0;
    if (ppPropertyIDs) *ppPropertyIDs = nullptr;
    if (ppDescriptions) *ppDescriptions = nullptr;
    if (ppvtDataTypes) *ppvtDataTypes = nullptr;
    if (!pdwCount || !ppPropertyIDs || !ppDescriptions || !ppvtDataTypes) return E_POINTER;
    const Tag* tag = szItemID ? Simulation::instance().find(m_space, szItemID) : nullptr;
    if (!tag) return OPC_E_UNKNOWNITEMID;
    DWORD n = 0;
    for (const Property& p : kProperties) n += FindProperty(*tag, p.id) ? 1 : 0;
    auto* ids = TaskAlloc<DWORD>(n);
    auto* texts = TaskAlloc<LPWSTR>(n);
    auto* types = TaskAlloc<VARTYPE>(n);
    bool ok = ids && texts && types;
    DWORD k = 0;
    for (const Property& p : kProperties) {
        if (!ok || !FindProperty(*tag, p.id)) continue;
        ids[k] = p.id;
        types[k] = p.type == VT_EMPTY ? tag->info.type : p.type;
        texts[k] = TaskString(p.description);
        ok = texts[k++] != nullptr;
    }
    if (!ok) {
        for (DWORD i = 0; texts && i < n; ++i) CoTaskMemFree(texts[i]);
        CoTaskMemFree(ids);
        CoTaskMemFree(texts);
        CoTaskMemFree(types);
        return E_OUTOFMEMORY;
    }
    *pdwCount = n;
    *ppPropertyIDs = ids;
    *ppDescriptions = texts;
    *ppvtDataTypes = types;
    return S_OK;
}

STDMETHODIMP OpcServer::GetItemProperties(LPWSTR szItemID, DWORD dwCount, DWORD* pdwPropertyIDs, VARIANT** ppvData,
                                          HRESULT** ppErrors) {
    HangGate();
    if (ppvData) *ppvData = nullptr;
    if (ppErrors) *ppErrors = nullptr;
    if (!ppvData || !ppErrors) return E_POINTER;
    if (dwCount == 0 || !pdwPropertyIDs) return E_INVALIDARG;
    const Tag* tag = szItemID ? Simulation::instance().find(m_space, szItemID) : nullptr;
    if (!tag) return OPC_E_UNKNOWNITEMID;
    auto* values = TaskAlloc<VARIANT>(dwCount);
    auto* errors = TaskAlloc<HRESULT>(dwCount);
    if (!values || !errors) {
        CoTaskMemFree(values);
        CoTaskMemFree(errors);
        return E_OUTOFMEMORY;
    }
    bool allGood = true;
    for (DWORD i = 0; i < dwCount; ++i) {
        errors[i] = FindProperty(*tag, pdwPropertyIDs[i]) ? PropertyValue(*tag, pdwPropertyIDs[i], &values[i])
                                                          : OPC_E_INVALID_PID;
        allGood = allGood && errors[i] == S_OK;
    }
    *ppvData = values;
    *ppErrors = errors;
    return allGood ? S_OK : S_FALSE;
}

STDMETHODIMP OpcServer::LookupItemIDs(LPWSTR szItemID, DWORD dwCount, DWORD* pdwPropertyIDs, LPWSTR** ppszNewItemIDs,
                                      HRESULT** ppErrors) {
    HangGate();
    if (ppszNewItemIDs) *ppszNewItemIDs = nullptr;
    if (ppErrors) *ppErrors = nullptr;
    if (!ppszNewItemIDs || !ppErrors) return E_POINTER;
    if (dwCount == 0 || !pdwPropertyIDs) return E_INVALIDARG;
    const Tag* tag = szItemID ? Simulation::instance().find(m_space, szItemID) : nullptr;
    if (!tag) return OPC_E_UNKNOWNITEMID;
    auto* ids = TaskAlloc<LPWSTR>(dwCount);
    auto* errors = TaskAlloc<HRESULT>(dwCount);
    if (!ids || !errors) {
        CoTaskMemFree(ids);
        CoTaskMemFree(errors);
        return E_OUTOFMEMORY;
    }
    // No property has an item id of its own here.
    for (DWORD i = 0; i < dwCount; ++i) errors[i] = OPC_E_INVALID_PID;
    *ppszNewItemIDs = ids;
    *ppErrors = errors;
    return S_FALSE;
}

bool ErrorText(HRESULT code, std::wstring& text) {
    static const struct {
        HRESULT code;
        const wchar_t* text;
    } kOpc[] = {
        {OPC_E_INVALIDHANDLE, L"The value of the handle is invalid."},
        {OPC_E_BADTYPE,
         L"The server cannot convert the data between the requested data type and the canonical data type."},
        {OPC_E_PUBLIC, L"The requested operation cannot be done on a public group."},
        {OPC_E_BADRIGHTS, L"The item's access rights do not allow the operation."},
        {OPC_E_UNKNOWNITEMID, L"The item is no longer available in the server address space."},
        {OPC_E_INVALIDITEMID, L"The item definition does not conform to the server's syntax."},
        {OPC_E_INVALIDFILTER, L"The filter string was not valid."},
        {OPC_E_UNKNOWNPATH, L"The item's access path is not known to the server."},
        {OPC_E_RANGE, L"The value was out of range."},
        {OPC_E_DUPLICATENAME, L"Duplicate name not allowed."},
        {OPC_S_UNSUPPORTEDRATE,
         L"The server does not support the requested data rate but will use the closest available rate."},
        {OPC_S_CLAMP, L"A value passed to write was accepted but the output was clamped."},
        {OPC_S_INUSE, L"The operation cannot be performed because the object is being referenced."},
        {OPC_E_INVALIDCONFIGFILE, L"The server's configuration file is an invalid format."},
        {OPC_E_NOTFOUND, L"The requested object (e.g. a public group) was not found."},
        {OPC_E_INVALID_PID, L"The specified property ID is not valid for the item."},
    };
    for (const auto& e : kOpc) {
        if (e.code == code) {
            text = e.text;
            return true;
        }
    }
    wchar_t* buf = nullptr;
    DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
    if (n == 0 || !buf) return false;
    text.assign(buf, n);
    LocalFree(buf);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return true;
}

}  // namespace sim
