// Browsing the server's address space. The position is always set from a full dotted path;
// the result of the last browse stays with the server record until the next browse.
#include "kobrix/Operations.h"
#include "kobrix/State.h"
#include "kobrix/Text.h"

namespace kobrix {

namespace {

// A live server with its browse interface, fetched once; null when it has none.
std::shared_ptr<Server> Browsable(int hServer) {
    auto server = Library::Instance().FindServer(hServer);
    if (!server || server->dead) return nullptr;
    if (!server->browser && FAILED(Library::Call(*server, [&] {
            return server->server.As(IID_IOPCBrowseServerAddressSpace, server->browser);
        })))
        return nullptr;
    return server;
}

// The organisation of the address space (1 hierarchical, 2 flat), asked once; 0 if unknown.
WORD Organization(Server& server) {
    if (server.namespaceType == 0) {
        ComPtr<IOPCBrowseServerAddressSpace> browser = server.browser;
        OPCNAMESPACETYPE type = OPC_NS_HIERARCHIAL;
        if (SUCCEEDED(Library::Call(server, [&] { return browser->QueryOrganization(&type); })) &&
            (type == OPC_NS_HIERARCHIAL || type == OPC_NS_FLAT))
            server.namespaceType = static_cast<WORD>(type);
    }
    return server.namespaceType;
}

HRESULT Move(Server& server, OPCBROWSEDIRECTION direction, const std::wstring& name) {
    ComPtr<IOPCBrowseServerAddressSpace> browser = server.browser;
    return Library::Call(server, [&] { return browser->ChangeBrowsePosition(direction, name.c_str()); });
}

}  // namespace

int SetBrowsePosition(int hServer, const char* path) {
    if (!path) return 0;
    auto server = Browsable(hServer);
    if (!server) return 0;
    // A flat space has only its root.
    if (Organization(*server) == OPC_NS_FLAT) return *path == '\0' ? 1 : 0;
    std::wstring target = Widen(path);
    if (SUCCEEDED(Move(*server, OPC_BROWSE_TO, target))) return 1;
    if (server->dead) return 0;
    // Servers without BROWSE_TO: back to the root, then down one branch at a time.
    if (FAILED(Move(*server, OPC_BROWSE_TO, std::wstring()))) {
        for (int level = 0; level < 64 && SUCCEEDED(Move(*server, OPC_BROWSE_UP, std::wstring())); ++level) {
        }
    }
    size_t start = 0;
    while (!target.empty() && start <= target.size()) {
        size_t dot = target.find(L'.', start);
        if (dot == std::wstring::npos) dot = target.size();
        std::wstring part = target.substr(start, dot - start);
        if (part.empty() || FAILED(Move(*server, OPC_BROWSE_DOWN, part))) return 0;
        start = dot + 1;
    }
    return server->dead ? 0 : 1;
}

int BrowseNames(int hServer, int type) {
    auto known = Library::Instance().FindServer(hServer);
    if (known) known->browse = BrowseResult();  // a new browse, whatever comes of it
    if (type != KOBRIX_BROWSE_BRANCHES && type != KOBRIX_BROWSE_LEAVES && type != KOBRIX_BROWSE_FLAT) return 0;
    auto server = Browsable(hServer);
    if (!server) return 0;
    // A flat server ignores the type and would answer its leaves as branches.
    if (type == KOBRIX_BROWSE_BRANCHES && Organization(*server) == OPC_NS_FLAT) return 0;

    ComPtr<IOPCBrowseServerAddressSpace> browser = server->browser;
    ComPtr<IEnumString> names;
    HRESULT hr = Library::Call(*server, [&] {
        return browser->BrowseOPCItemIDs(static_cast<OPCBROWSETYPE>(type), L"", VT_EMPTY, 0, names.Put());
    });
    if (FAILED(hr) || !names) return 0;
    BrowseResult result;
    const ULONG batch = 256;
    for (;;) {
        LPOLESTR got[batch] = {};
        ULONG fetched = 0;
        hr = Library::Call(*server, [&] { return names->Next(batch, got, &fetched); });
        if (FAILED(hr)) fetched = 0;
        if (fetched > batch) fetched = batch;
        for (ULONG i = 0; i < fetched; ++i) {
            if (got[i]) {
                result.wide.push_back(got[i]);
                result.ansi.push_back(Narrow(got[i]));
            }
            CoTaskMemFree(got[i]);
        }
        if (hr != S_OK || fetched == 0 || result.wide.size() > 1000000) break;
    }
    if (FAILED(hr) || server->removed) return 0;
    server->browse = std::move(result);
    return static_cast<int>(server->browse.ansi.size());
}

int GetBrowseName(int hServer, int index, char* buffer, int size) {
    auto server = Library::Instance().FindServer(hServer);
    if (!server || server->dead || index < 0 || static_cast<size_t>(index) >= server->browse.ansi.size()) {
        CopyOut(std::string(), buffer, size);
        return 0;
    }
    return CopyOut(server->browse.ansi[static_cast<size_t>(index)], buffer, size);
}

int GetItemId(int hServer, const char* leafName, char* buffer, int size) {
    if (!leafName || !buffer || size <= 0) return 0;
    buffer[0] = '\0';
    auto server = Browsable(hServer);
    if (!server) return 0;
    // A name from the last browse goes back exactly as the server gave it.
    std::wstring name;
    const BrowseResult& last = server->browse;
    for (size_t i = 0; i < last.ansi.size(); ++i) {
        if (last.ansi[i] == leafName) {
            name = last.wide[i];
            break;
        }
    }
    if (name.empty()) name = Widen(leafName);
    ComPtr<IOPCBrowseServerAddressSpace> browser = server->browser;
    TaskMem<wchar_t> id;
    if (FAILED(Library::Call(*server, [&] { return browser->GetItemID(&name[0], id.Put()); })) || !id) return 0;
    return CopyOut(Narrow(id.Get()), buffer, size);
}

int GetNamespaceType(int hServer, WORD* type) {
    if (!type) return 0;
    auto server = Browsable(hServer);
    if (!server) return 0;
    WORD organization = Organization(*server);
    if (organization == 0) return 0;
    *type = organization;
    return 1;
}

}  // namespace kobrix
