// qvopc: checks an OPC server from the command line before it is bridged, through
// KOBRIX2.dll bound by export name exactly as the program binds to it.
//
//   qvopc list [machine]
//   qvopc browse <progid> [path] [--machine M]
//   qvopc watch <progid> <item>... [--seconds N] [--rate ms] [--deadband pct] [--machine M]
//   qvopc write <progid> <item> <value> [--type r8|r4|i4|i2|ui1|bool|text|date] [--machine M]
//
// Exit status: 0 done, 1 refused or failed (the reason on stderr), 2 bad command line,
// 3 the server asked its clients to disconnect while watching.
// Single-threaded: the library's callbacks arrive on this thread while it pumps messages.
#include "kobrix/Binding.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

kobrix::Binding g_opc;
std::vector<std::pair<int, std::string>> g_items;  // item handle, item id
bool g_shutdown = false;
bool g_echo = false;        // write: the value came back
std::string g_writtenText;  // write: the written value as shown; empty before the write
VARTYPE g_currentType = VT_EMPTY;

struct Options {
    std::string command, machine, type;
    std::vector<std::string> args;
    double seconds = 10;
    bool secondsGiven = false;  // write waits 3 s unless told otherwise
    DWORD rate = 1000;
    float deadband = 0;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: qvopc list [machine]\n"
                 "       qvopc browse <progid> [path] [--machine M]\n"
                 "       qvopc watch <progid> <item>... [--seconds N] [--rate ms] [--deadband pct] [--machine M]\n"
                 "       qvopc write <progid> <item> <value> [--type r8|r4|i4|i2|ui1|bool|text|date] [--machine M]\n");
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "qvopc: %s\n", message.c_str());
    return 1;
}

std::string Where(const std::string& machine) { return machine.empty() ? "this machine" : "machine '" + machine + "'"; }

std::string ValueText(const VARIANT* value) {
    if (!value) return "(none)";
    if (value->vt == VT_EMPTY) return "(empty)";
    VARIANT text;
    VariantInit(&text);
    std::string out = "(vt " + std::to_string(value->vt) + ")";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(value), VARIANT_ALPHABOOL, VT_BSTR)) && text.bstrVal) {
        int n = WideCharToMultiByte(CP_ACP, 0, text.bstrVal, -1, nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            out.assign(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(CP_ACP, 0, text.bstrVal, -1, &out[0], n, nullptr, nullptr);
            out.resize(static_cast<size_t>(n - 1));
        }
    }
    VariantClear(&text);
    return out;
}

std::string QualityText(DWORD quality) {
    const char* name = (quality & 0xC0) == 0xC0 ? "good" : (quality & 0xC0) == 0x40 ? "uncertain" : "bad";
    char text[32];
    std::snprintf(text, sizeof(text), "%s (0x%02lX)", name, static_cast<unsigned long>(quality));
    return text;
}

std::string TimeText(DWORD low, DWORD high) {
    FILETIME ft = {low, high};
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(&ft, &st)) return "(bad time)";
    char text[40];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
                  st.wMinute, st.wSecond, st.wMilliseconds);
    return text;
}

std::string ItemName(int hItem) {
    for (const auto& item : g_items)
        if (item.first == hItem) return item.second;
    return "item " + std::to_string(hItem);
}

void __stdcall OnDataChange(int, int, int hItem, const VARIANT* value, DWORD low, DWORD high, DWORD quality) {
    std::printf("%s  %-30s %-24s %s\n", TimeText(low, high).c_str(), ItemName(hItem).c_str(), ValueText(value).c_str(),
                QualityText(quality).c_str());
    std::fflush(stdout);
    if (value) g_currentType = value->vt;
    // Only the written value is its echo: the start-up value can arrive once more after
    // the write has begun.
    if (!g_writtenText.empty() && ValueText(value) == g_writtenText) g_echo = true;
}

BOOL __stdcall OnShutdown(int) {
    g_shutdown = true;
    return TRUE;
}

// Pumps messages (and so the library's callbacks) for a while, or until `until` turns true.
void Pump(DWORD ms, const bool* until = nullptr) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        ULONGLONG now = GetTickCount64();
        if (now >= end || g_shutdown || (until && *until)) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// A connection with one group that is taken down in the right order whatever happens.
class Session {
  public:
    ~Session() {
        for (const auto& item : g_items) g_opc.OpcRemoveItem(server, group, item.first);
        g_items.clear();
        if (group != -1) g_opc.OpcRemoveGroup(server, group);
        if (server != -1) g_opc.OpcDisconnectServer(server);
    }
    int server = -1;
    int group = -1;
};

int List(const Options& o) {
    int total = 0;
    const struct {
        int selector;
        const char* title;
    } kinds[] = {{1, "OPC Data Access 2.0"}, {0, "OPC Data Access 1.0"}};
    for (const auto& kind : kinds) {
        int n = g_opc.OpcEnumerateServers(kind.selector, o.machine.c_str());
        std::printf("%s servers on %s: %d\n", kind.title, Where(o.machine).c_str(), n);
        for (int i = 0; i < n; ++i) {
            char name[200];
            if (g_opc.OpcGetServerName(i, name, sizeof(name))) std::printf("  %s\n", name);
        }
        total += n;
    }
    return total ? 0 : Fail("no OPC Data Access server is registered on " + Where(o.machine));
}

int Connect(const Options& o, Session& session) {
    session.server = g_opc.OpcConnectServer(o.machine.c_str(), o.args[0].c_str(), 0);
    if (session.server == -1) return Fail("cannot connect to server '" + o.args[0] + "' on " + Where(o.machine));
    g_opc.OpcSetDataChangeCallback(session.server, OnDataChange);
    g_opc.OpcSetShutdownCallback(session.server, OnShutdown);
    return 0;
}

int Browse(const Options& o) {
    if (o.args.empty() || o.args.size() > 2) return Usage();
    Session session;
    if (int rc = Connect(o, session)) return rc;
    std::string path = o.args.size() > 1 ? o.args[1] : "";
    WORD organization = 0;
    if (!g_opc.OpcGetNamespaceType(session.server, &organization))
        return Fail("server '" + o.args[0] + "' cannot be browsed");
    if (!g_opc.OpcSetBrowsePosition(session.server, path.c_str()))
        return Fail("no branch '" + path + "' in server '" + o.args[0] + "'");
    std::printf("%s (%s), %s:\n", o.args[0].c_str(), organization == 2 ? "flat" : "hierarchical",
                path.empty() ? "root" : ("branch " + path).c_str());
    int leaves = g_opc.OpcBrowseNames(session.server, 2);
    for (int i = 0; i < leaves; ++i) {
        char name[200], id[200];
        if (!g_opc.OpcGetBrowseName(session.server, i, name, sizeof(name))) continue;
        if (!g_opc.OpcGetItemId(session.server, name, id, sizeof(id))) std::strcpy(id, name);
        std::printf("  leaf    %-28s %s\n", name, id);
    }
    if (organization != 2) {
        int branches = g_opc.OpcBrowseNames(session.server, 1);
        for (int i = 0; i < branches; ++i) {
            char name[200];
            if (g_opc.OpcGetBrowseName(session.server, i, name, sizeof(name))) std::printf("  branch  %s\n", name);
        }
    }
    return 0;
}

int AddGroupAndItems(const Options& o, Session& session, const std::vector<std::string>& ids) {
    DWORD rate = o.rate;
    float deadband = o.deadband;
    session.group = g_opc.OpcAddGroup(session.server, "qvopc", &rate, &deadband);
    if (session.group == -1) return Fail("server '" + o.args[0] + "' refused the group");
    std::printf("group: update rate %lu ms, deadband %g %%\n", static_cast<unsigned long>(rate), deadband);
    for (const std::string& id : ids) {
        int hItem = g_opc.OpcAddItem(session.server, session.group, id.c_str());
        if (hItem == -1) return Fail("server '" + o.args[0] + "' refused item '" + id + "'");
        g_items.emplace_back(hItem, id);
    }
    return 0;
}

int Watch(const Options& o) {
    if (o.args.size() < 2) return Usage();
    Session session;
    if (int rc = Connect(o, session)) return rc;
    if (int rc = AddGroupAndItems(o, session, std::vector<std::string>(o.args.begin() + 1, o.args.end()))) return rc;
    g_opc.OpcRefreshGroup(session.server, session.group, 0);
    Pump(static_cast<DWORD>(o.seconds * 1000));
    if (g_shutdown) {
        std::fprintf(stderr, "qvopc: server '%s' asked its clients to disconnect\n", o.args[0].c_str());
        return 3;
    }
    return 0;
}

bool TypeOf(const std::string& name, VARTYPE& vt) {
    const struct {
        const char* name;
        VARTYPE vt;
    } types[] = {{"r8", VT_R8},   {"r4", VT_R4},     {"i4", VT_I4},     {"i2", VT_I2},
                 {"ui1", VT_UI1}, {"bool", VT_BOOL}, {"text", VT_BSTR}, {"date", VT_DATE}};
    for (const auto& t : types)
        if (name == t.name) {
            vt = t.vt;
            return true;
        }
    return false;
}

int Write(const Options& o) {
    if (o.args.size() != 3) return Usage();
    VARTYPE vt = VT_EMPTY;
    if (!o.type.empty() && !TypeOf(o.type, vt)) return Usage();
    Session session;
    if (int rc = Connect(o, session)) return rc;
    if (int rc = AddGroupAndItems(o, session, {o.args[1]})) return rc;
    // Without --type the value takes the item's own type, learnt from its current value.
    g_opc.OpcRefreshGroup(session.server, session.group, 1);
    if (vt == VT_EMPTY) vt = g_currentType != VT_EMPTY ? g_currentType : VT_BSTR;

    std::wstring wide(o.args[2].size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, o.args[2].c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    VARIANT text, value;
    VariantInit(&text);
    VariantInit(&value);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(wide.c_str());
    HRESULT hr = VariantChangeType(&value, &text, VARIANT_ALPHABOOL, vt);
    VariantClear(&text);
    if (FAILED(hr)) return Fail("'" + o.args[2] + "' is not a value of type vt " + std::to_string(vt));
    g_echo = false;
    g_writtenText = ValueText(&value);
    int accepted = g_opc.OpcWriteItem(session.server, session.group, g_items[0].first, &value, 0);
    if (accepted) {
        std::printf("written; waiting for the server to report it back\n");
        Pump(static_cast<DWORD>(o.seconds * 1000), &g_echo);
    }
    VariantClear(&value);
    if (!accepted) return Fail("server '" + o.args[0] + "' refused the value for '" + o.args[1] + "'");
    return 0;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    if (argc < 2) return false;
    o.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        char* end = nullptr;
        if (a == "--machine") {
            if (!next(o.machine)) return false;
        } else if (a == "--type") {
            if (!next(o.type)) return false;
        } else if (a == "--seconds") {
            if (!next(v)) return false;
            o.seconds = std::strtod(v.c_str(), &end);
            o.secondsGiven = true;
            if (*end || !(o.seconds >= 0 && o.seconds <= 86400)) return false;
        } else if (a == "--rate") {
            if (!next(v)) return false;
            unsigned long rate = std::strtoul(v.c_str(), &end, 10);
            if (*end || v.empty() || v[0] == '-' || rate > 0xFFFFFFFFUL) return false;
            o.rate = static_cast<DWORD>(rate);
        } else if (a == "--deadband") {
            if (!next(v)) return false;
            o.deadband = std::strtof(v.c_str(), &end);
            if (*end || !(o.deadband >= 0 && o.deadband <= 100)) return false;
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            return false;
        } else {
            o.args.push_back(a);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) return Usage();
    if (o.command == "write" && !o.secondsGiven) o.seconds = 3;
    if (o.command == "list") {
        if (o.args.size() > 1) return Usage();
        if (!o.args.empty()) o.machine = o.args[0];
    } else if (o.command != "browse" && o.command != "watch" && o.command != "write") {
        return Usage();
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IDENTIFY, nullptr,
                         EOAC_NONE, nullptr);
    int rc;
    if (!g_opc.Load()) {
        rc = Fail(g_opc.Error());
    } else if (o.command == "list") {
        rc = List(o);
    } else if (o.command == "browse") {
        rc = Browse(o);
    } else if (o.command == "watch") {
        rc = Watch(o);
    } else {
        rc = Write(o);
    }
    CoUninitialize();
    return rc;
}
