// Cancelling a call that takes too long: a message filter on the owner thread answers
// PENDINGMSG_CANCELCALL from MessagePending once the innermost deadline has passed, and the
// deadline thread posts WM_NULL to the owner thread then, so that COM's wait inside the
// outgoing call looks at its filter. The call then fails with RPC_E_CALL_CANCELED.
// Under Wine that alone does not end the wait (see CancelPoolRpcUnderWine). CoCancelCall is
// not used: Wine 8.0 does not implement it (calling it aborts the process; docs/wine-notes.md).
// A filter the program had registered before keeps its answers.
#include "kobrix/Bounded.h"

#include <cstdlib>
#include <rpc.h>
#include <tlhelp32.h>
#include <objbase.h>
#include <vector>

namespace kobrix {

namespace {

CRITICAL_SECTION g_lock;        // guards g_dues
std::vector<ULONGLONG> g_dues;  // deadlines of the running scopes, innermost last
DWORD g_owner = 0;
HANDLE g_changed = nullptr;  // set when the stack changes
IMessageFilter* g_previous = nullptr;

bool InnermostExpired() {
    EnterCriticalSection(&g_lock);
    bool expired = !g_dues.empty() && GetTickCount64() >= g_dues.back();
    LeaveCriticalSection(&g_lock);
    return expired;
}

class CancelFilter final : public IMessageFilter {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
            *out = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives as long as the process
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD type, HTASK caller, DWORD tick, LPINTERFACEINFO info) override {
        return g_previous ? g_previous->HandleInComingCall(type, caller, tick, info) : SERVERCALL_ISHANDLED;
    }
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK callee, DWORD tick, DWORD type) override {
        if (InnermostExpired()) return static_cast<DWORD>(-1);
        return g_previous ? g_previous->RetryRejectedCall(callee, tick, type) : static_cast<DWORD>(-1);
    }
    STDMETHODIMP_(DWORD) MessagePending(HTASK callee, DWORD tick, DWORD type) override {
        if (InnermostExpired()) return PENDINGMSG_CANCELCALL;
        return g_previous ? g_previous->MessagePending(callee, tick, type) : PENDINGMSG_WAITDEFPROCESS;
    }
};

CancelFilter g_filter;

// Wine only: its COM wait runs the call's RPC on a thread-pool worker and, once the filter
// has asked for the cancel, still waits for that RPC to end. Cancelling the RPC of the pool
// workers (RpcCancelThreadEx) ends it. Only Wine's pool workers are touched, by their name.
using GetThreadDescriptionProc = HRESULT(WINAPI*)(HANDLE, PWSTR*);
GetThreadDescriptionProc g_describe = nullptr;
bool g_underWine = false;

void CancelPoolRpcUnderWine() {
    if (!g_underWine || !g_describe) return;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION | THREAD_TERMINATE, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        PWSTR name = nullptr;
        if (SUCCEEDED(g_describe(thread, &name)) && name && !lstrcmpW(name, L"wine_threadpool_worker"))
            RpcCancelThreadEx(thread, 0);
        LocalFree(name);
        CloseHandle(thread);
    }
    CloseHandle(snap);
}

// Wakes the owner thread's wait once the innermost deadline has passed, and again every
// 20 ms while it stays passed (a wake-up may be consumed before the wait looks at it).
DWORD WINAPI DeadlineThread(void*) {
    for (;;) {
        DWORD wait = INFINITE;
        EnterCriticalSection(&g_lock);
        if (!g_dues.empty()) {
            const ULONGLONG now = GetTickCount64(), due = g_dues.back();
            wait = due > now ? static_cast<DWORD>(due - now) : 20;
            if (due <= now) {  // under the lock: the call cancelled is the one that ran out of time
                PostThreadMessageW(g_owner, WM_NULL, 0, 0);
                CancelPoolRpcUnderWine();
            }
        }
        LeaveCriticalSection(&g_lock);
        WaitForSingleObject(g_changed, wait);
    }
}

}  // namespace

DWORD CallTimeoutMs() {
    static const DWORD timeout = [] {
        const char* text = std::getenv("KOBRIX_CALL_TIMEOUT_MS");
        long ms = text ? std::strtol(text, nullptr, 10) : 0;
        return ms >= 100 && ms <= 600000 ? static_cast<DWORD>(ms) : kDefaultCallTimeoutMs;
    }();
    return timeout;
}

void PrepareBoundedCalls() {
    if (g_owner) return;
    g_owner = GetCurrentThreadId();
    InitializeCriticalSection(&g_lock);
    g_changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CoRegisterMessageFilter(&g_filter, &g_previous);
    g_underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    g_describe = reinterpret_cast<GetThreadDescriptionProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "GetThreadDescription")));
    if (HANDLE thread = CreateThread(nullptr, 0, DeadlineThread, nullptr, 0, nullptr)) CloseHandle(thread);
}

BoundedScope::BoundedScope(DWORD timeoutMs) : due_(GetTickCount64() + timeoutMs) {
    EnterCriticalSection(&g_lock);
    g_dues.push_back(due_);
    LeaveCriticalSection(&g_lock);
    SetEvent(g_changed);
}

BoundedScope::~BoundedScope() {
    EnterCriticalSection(&g_lock);
    g_dues.pop_back();
    LeaveCriticalSection(&g_lock);
    SetEvent(g_changed);
}

bool BoundedScope::Expired() const { return GetTickCount64() >= due_; }

}  // namespace kobrix
