#include "tools/qvdde_client.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qvdde {
namespace {

// DDEML's callback carries no instance, so conversations are routed to their client
// through this per-thread table (DDEML calls back only on the instance's own thread).
thread_local std::map<HCONV, DdeClient*> t_convs;
thread_local std::vector<DdeClient*> t_clients;

// Frees a DDEML string handle at the end of a scope.
class Hsz {
  public:
    Hsz(DWORD inst, const std::string& s) : inst_(inst), h_(DdeCreateStringHandleA(inst, s.c_str(), CP_WINANSI)) {}
    ~Hsz() {
        if (h_) DdeFreeStringHandle(inst_, h_);
    }
    Hsz(const Hsz&) = delete;
    Hsz& operator=(const Hsz&) = delete;
    operator HSZ() const { return h_; }

  private:
    DWORD inst_;
    HSZ h_;
};

}  // namespace

bool RunningOnWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

std::optional<UINT> ParseFormat(const std::string& t, std::string* why) {
    if (t == "CF_TEXT") return UINT(CF_TEXT);
    if (t == "CF_SYLK") return UINT(CF_SYLK);
    if (t == "CF_DIF") return UINT(CF_DIF);
    if (!t.empty() && t[0] >= '0' && t[0] <= '9') {
        errno = 0;
        char* end = nullptr;
        unsigned long v = std::strtoul(t.c_str(), &end, 0);
        if (errno || *end || v == 0 || v > 0xFFFF) {
            if (why) *why = "format number must be 1 to 65535";
            return std::nullopt;
        }
        return UINT(v);
    }
    if (t.empty()) {
        if (why) *why = "empty format name";
        return std::nullopt;
    }
    UINT f = RegisterClipboardFormatA(t.c_str());
    if (!f) {
        if (why) *why = "cannot register the clipboard format";
        return std::nullopt;
    }
    return f;
}

std::string FormatName(UINT f) {
    switch (f) {
        case CF_TEXT:
            return "CF_TEXT";
        case CF_SYLK:
            return "CF_SYLK";
        case CF_DIF:
            return "CF_DIF";
    }
    char name[128];
    if (f >= 0xC000 && GetClipboardFormatNameA(f, name, sizeof name) > 0) return name;
    return std::to_string(f);
}

UINT LinkFormat(UINT format, bool wineFix) {
    format &= 0xFFFF;
    return (wineFix && format >= 0xC000) ? (0xFFFF0000u | format) : format;
}

uint64_t PreciseNow() {
    typedef VOID(WINAPI * Fn)(LPFILETIME);
    static const Fn precise =
        reinterpret_cast<Fn>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime"));
    FILETIME ft;
    if (precise)
        precise(&ft);
    else
        GetSystemTimeAsFileTime(&ft);
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

const char* ErrorName(UINT e) {
    switch (e) {
        case DMLERR_NO_ERROR:
            return "no error";
        case DMLERR_ADVACKTIMEOUT:
            return "advise start timed out";
        case DMLERR_BUSY:
            return "server busy";
        case DMLERR_DATAACKTIMEOUT:
            return "poke timed out";
        case DMLERR_DLL_NOT_INITIALIZED:
            return "DDEML not initialised";
        case DMLERR_DLL_USAGE:
            return "DDEML usage error";
        case DMLERR_EXECACKTIMEOUT:
            return "execute timed out";
        case DMLERR_INVALIDPARAMETER:
            return "invalid parameter";
        case DMLERR_LOW_MEMORY:
            return "low memory";
        case DMLERR_MEMORY_ERROR:
            return "memory error";
        case DMLERR_NOTPROCESSED:
            return "not processed";
        case DMLERR_NO_CONV_ESTABLISHED:
            return "no conversation established";
        case DMLERR_POKEACKTIMEOUT:
            return "poke timed out";
        case DMLERR_POSTMSG_FAILED:
            return "posting to the server failed";
        case DMLERR_REENTRANCY:
            return "reentrancy";
        case DMLERR_SERVER_DIED:
            return "server died";
        case DMLERR_SYS_ERROR:
            return "system error";
        case DMLERR_UNADVACKTIMEOUT:
            return "advise stop timed out";
        case DMLERR_UNFOUND_QUEUE_ID:
            return "unknown transaction";
    }
    return "unknown DDEML error";
}

// ---- DdeClient --------------------------------------------------------------------

DdeClient::DdeClient(bool wineFix) : wineFix_(wineFix) {
    // No filter for XTYP_REGISTER etc. matters to a client; skip them to keep the callback quiet.
    initError_ = DdeInitializeA(&inst_, &DdeClient::Callback,
                                APPCMD_CLIENTONLY | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0);
    if (initError_ != DMLERR_NO_ERROR) inst_ = 0;
    t_clients.push_back(this);
}

DdeClient::~DdeClient() {
    for (auto it = t_convs.begin(); it != t_convs.end();) it = (it->second == this) ? t_convs.erase(it) : std::next(it);
    for (auto it = t_clients.begin(); it != t_clients.end(); ++it)
        if (*it == this) {
            t_clients.erase(it);
            break;
        }
    if (inst_) DdeUninitialize(inst_);
}

void DdeClient::PinName(const std::string& name) {
    static std::set<std::string> pinned;
    if (name.empty() || !pinned.insert(name).second) return;
    GlobalAddAtomA(name.c_str());
}

std::unique_ptr<Conversation> DdeClient::Connect(const std::string& service, const std::string& topic, UINT* error) {
    if (error) *error = inst_ ? DMLERR_NO_ERROR : DMLERR_DLL_NOT_INITIALIZED;
    if (!inst_) return nullptr;
    PinName(topic);
    Hsz svc(inst_, service), top(inst_, topic);
    HCONV conv = DdeConnect(inst_, svc, top, nullptr);
    if (!conv) {
        if (error) *error = DdeGetLastError(inst_);
        return nullptr;
    }
    t_convs[conv] = this;
    return std::unique_ptr<Conversation>(new Conversation(this, conv, topic));
}

void DdeClient::Forget(HCONV conv) { t_convs.erase(conv); }

std::string DdeClient::QueryString(HSZ hsz) const {
    if (!hsz) return {};
    char buf[512];
    DWORD n = DdeQueryStringA(inst_, hsz, buf, sizeof buf, CP_WINANSI);
    return std::string(buf, n < sizeof buf ? n : sizeof buf - 1);
}

HDDEDATA CALLBACK DdeClient::Callback(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data, ULONG_PTR,
                                      ULONG_PTR) {
    DdeClient* client = nullptr;
    auto it = t_convs.find(conv);
    if (it != t_convs.end())
        client = it->second;
    else if (!t_clients.empty())
        client = t_clients.back();
    return client ? client->OnCallback(type, fmt, conv, hsz1, hsz2, data) : nullptr;
}

HDDEDATA DdeClient::OnCallback(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data) {
    switch (type) {
        case XTYP_ADVDATA: {
            Advise a;
            QueryPerformanceCounter(&a.qpc);
            a.received = PreciseNow();
            a.seq = ++seq_;
            a.conv = conv;
            a.topic = QueryString(hsz1);
            a.item = QueryString(hsz2);
            a.format = fmt & 0xFFFF;
            if (data) {
                DWORD size = DdeGetData(data, nullptr, 0, 0);
                a.data.resize(size);
                if (size) DdeGetData(data, a.data.data(), size, 0);
            }
            queue_.push_back(std::move(a));
            return reinterpret_cast<HDDEDATA>(DDE_FACK);
        }
        case XTYP_DISCONNECT:
            ++disconnects_;
            Forget(conv);
            return nullptr;
        default:
            return nullptr;
    }
}

std::optional<Advise> DdeClient::NextAdvise(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (queue_.empty() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!queue_.empty()) {
            Advise a = std::move(queue_.front());
            queue_.pop_front();
            return a;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return std::nullopt;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(deadline - now), QS_ALLINPUT);
    }
}

void DdeClient::Pump(DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(deadline - now), QS_ALLINPUT);
    }
}

// ---- Conversation -----------------------------------------------------------------

Conversation::Conversation(DdeClient* client, HCONV conv, std::string topic)
    : client_(client), conv_(conv), topic_(std::move(topic)) {}

Conversation::~Conversation() {
    client_->Forget(conv_);
    DdeDisconnect(conv_);
}

Result Conversation::Transact(const std::string& item, UINT format, UINT type, const void* data, DWORD size,
                              DWORD timeoutMs, std::vector<uint8_t>* out) {
    Result r;
    DdeClient::PinName(item);
    Hsz hItem(client_->inst_, item);
    DWORD status = 0;
    HDDEDATA h = DdeClientTransaction(static_cast<LPBYTE>(const_cast<void*>(data)), size, conv_, hItem, format, type,
                                      timeoutMs, &status);
    r.flags = status;
    r.ok = h != nullptr;
    if (!r.ok) r.error = DdeGetLastError(client_->inst_);
    // Wine answers a poke or execute that the server refused (DDE_FNOTPROCESSED) with
    // success and a status word without DDE_FACK; the status word tells on both systems.
    if (r.ok && (type == XTYP_POKE || type == XTYP_EXECUTE) && !(status & DDE_FACK)) {
        r.ok = false;
        r.error = DMLERR_NOTPROCESSED;
    }
    if (h && out) {
        DWORD n = DdeGetData(h, nullptr, 0, 0);
        out->resize(n);
        if (n) DdeGetData(h, out->data(), n, 0);
    }
    // Only a request hands back a data handle that the caller owns.
    if (h && type == XTYP_REQUEST) DdeFreeDataHandle(h);
    // Wine's server side follows a request's data with a stray positive acknowledgement;
    // left in the queue it would be taken as the answer to the next transaction.
    if (type == XTYP_REQUEST) client_->Pump(20);
    return r;
}

Result Conversation::StartAdvise(const std::string& item, UINT format, DWORD timeoutMs, bool ackReq) {
    return Transact(item, LinkFormat(format, client_->wineFix_), XTYP_ADVSTART | (ackReq ? XTYPF_ACKREQ : 0), nullptr,
                    0, timeoutMs, nullptr);
}

Result Conversation::StopAdvise(const std::string& item, UINT format, DWORD timeoutMs) {
    return Transact(item, LinkFormat(format, client_->wineFix_), XTYP_ADVSTOP, nullptr, 0, timeoutMs, nullptr);
}

Result Conversation::Request(const std::string& item, UINT format, std::vector<uint8_t>* data, DWORD timeoutMs) {
    std::vector<uint8_t> sink;
    return Transact(item, format, XTYP_REQUEST, nullptr, 0, timeoutMs, data ? data : &sink);
}

Result Conversation::Poke(const std::string& item, UINT format, const std::vector<uint8_t>& data, DWORD timeoutMs) {
    return Transact(item, format, XTYP_POKE, data.data(), DWORD(data.size()), timeoutMs, nullptr);
}

Result Conversation::Execute(const std::string& command, DWORD timeoutMs) {
    std::string cmd = command;
    return Transact(std::string(), 0, XTYP_EXECUTE, cmd.c_str(), DWORD(cmd.size() + 1), timeoutMs, nullptr);
}

std::optional<CONVINFO> Conversation::Info() const {
    CONVINFO ci{};
    ci.cb = sizeof ci;
    if (!DdeQueryConvInfo(conv_, QID_SYNC, &ci)) return std::nullopt;
    return ci;
}

}  // namespace qvdde
