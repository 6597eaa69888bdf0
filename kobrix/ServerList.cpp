// Servers are listed by ProgID from the OPC component categories: locally through the
// component categories manager, remotely through the OPC server enumerator (OpcEnum) on
// that machine. A remote machine is reached with CLSCTX_REMOTE_SERVER only, so that a COM
// runtime that ignores the host name (Wine) fails instead of quietly answering locally.
#include "kobrix/ServerList.h"

#include "kobrix/Operations.h"
#include "kobrix/State.h"
#include "kobrix/Text.h"

#include <comcat.h>

#include <algorithm>
#include <cstring>

namespace kobrix {

namespace {

std::string Host(const char* machine) {
    std::string host = machine ? machine : "";
    size_t start = host.find_first_not_of('\\');
    return start == std::string::npos ? std::string() : host.substr(start);
}

HRESULT CreateOnHost(const std::string& host, REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    std::wstring name = Widen(host.c_str());
    COSERVERINFO info = {};
    info.pwszName = &name[0];
    MULTI_QI qi = {&iid, nullptr, S_OK};
    HRESULT hr = CoCreateInstanceEx(clsid, nullptr, CLSCTX_REMOTE_SERVER, &info, 1, &qi);
    if (FAILED(hr)) return hr;
    if (FAILED(qi.hr) || !qi.pItf) {
        if (qi.pItf) qi.pItf->Release();
        return FAILED(qi.hr) ? qi.hr : E_NOINTERFACE;
    }
    *out = qi.pItf;
    return S_OK;
}

HRESULT RemoteServerList(const std::string& host, ComPtr<IOPCServerList>& list) {
    return CreateOnHost(host, CLSID_OpcServerList, IID_IOPCServerList, list.PutVoid());
}

// Collects every CLSID an enumerator yields.
std::vector<CLSID> Drain(IEnumGUID* classes) {
    std::vector<CLSID> all;
    CLSID batch[64];
    for (;;) {
        ULONG fetched = 0;
        HRESULT hr = classes->Next(64, batch, &fetched);
        if (FAILED(hr) || fetched > 64) break;
        all.insert(all.end(), batch, batch + fetched);
        if (hr != S_OK || fetched == 0 || all.size() > 100000) break;
    }
    return all;
}

bool ListLocal(const CATID& category, std::vector<std::string>& names) {
    ComPtr<ICatInformation> categories;
    if (FAILED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatInformation,
                                categories.PutVoid())) ||
        !categories)
        return false;
    ComPtr<IEnumCLSID> classes;
    CATID wanted = category;
    if (FAILED(categories->EnumClassesOfCategories(1, &wanted, 0, nullptr, classes.Put())) || !classes) return false;
    for (const CLSID& clsid : Drain(classes.Get())) {
        TaskMem<wchar_t> progId;
        if (SUCCEEDED(ProgIDFromCLSID(clsid, progId.Put())) && progId) names.push_back(Narrow(progId.Get()));
    }
    return true;
}

bool ListRemote(const std::string& host, const CATID& category, std::vector<std::string>& names) {
    ComPtr<IOPCServerList> list;
    if (FAILED(RemoteServerList(host, list))) return false;
    ComPtr<IEnumGUID> classes;
    CATID wanted = category;
    CATID noneRequired = GUID_NULL;  // a real pointer: the count is 0, but the stub wants one
    if (FAILED(list->EnumClassesOfCategories(1, &wanted, 0, &noneRequired, classes.Put())) || !classes) return false;
    for (const CLSID& clsid : Drain(classes.Get())) {
        TaskMem<wchar_t> progId, userType;
        if (SUCCEEDED(list->GetClassDetails(clsid, progId.Put(), userType.Put())) && progId)
            names.push_back(Narrow(progId.Get()));
    }
    return true;
}

}  // namespace

bool IsThisMachine(const char* machine) {
    std::string host = Host(machine);
    if (host.empty() || _stricmp(host.c_str(), "localhost") == 0 || host == "127.0.0.1") return true;
    const COMPUTER_NAME_FORMAT formats[] = {ComputerNameNetBIOS, ComputerNameDnsHostname,
                                            ComputerNameDnsFullyQualified};
    for (COMPUTER_NAME_FORMAT format : formats) {
        char name[256];
        DWORD size = sizeof(name);
        if (GetComputerNameExA(format, name, &size) && size > 0 && _stricmp(host.c_str(), name) == 0) return true;
    }
    return false;
}

HRESULT CreateServerObject(const char* machine, const char* progId, ComPtr<IOPCServer>& server) {
    server.Reset();
    if (!progId || !*progId) return E_INVALIDARG;
    std::wstring name = Widen(progId);
    if (IsThisMachine(machine)) {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(name.c_str(), &clsid);
        if (FAILED(hr)) return hr;
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IOPCServer,
                              server.PutVoid());
        return SUCCEEDED(hr) && !server ? E_NOINTERFACE : hr;
    }
    std::string host = Host(machine);
    ComPtr<IOPCServerList> list;
    HRESULT hr = RemoteServerList(host, list);
    if (FAILED(hr)) return hr;
    CLSID clsid;
    hr = list->CLSIDFromProgID(name.c_str(), &clsid);
    if (FAILED(hr)) return hr;
    return CreateOnHost(host, clsid, IID_IOPCServer, server.PutVoid());
}

int EnumerateServers(int selector, const char* machine) {
    Library& library = Library::Instance();
    library.serverNames.clear();
    if (selector != 0 && selector != 1) return 0;
    const CATID& category = selector == 1 ? CATID_OPCDAServer20 : CATID_OPCDAServer10;
    std::vector<std::string> names;
    bool listed = IsThisMachine(machine) ? ListLocal(category, names) : ListRemote(Host(machine), category, names);
    if (!listed) return 0;
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int c = _stricmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    library.serverNames = std::move(names);
    return static_cast<int>(library.serverNames.size());
}

int GetServerName(int index, char* buffer, int size) {
    const auto& names = Library::Instance().serverNames;
    if (index < 0 || static_cast<size_t>(index) >= names.size()) {
        CopyOut(std::string(), buffer, size);
        return 0;
    }
    return CopyOut(names[static_cast<size_t>(index)], buffer, size);
}

}  // namespace kobrix
