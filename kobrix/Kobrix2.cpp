// KOBRIX2.dll: the OPC client library. OPC Data Access 2.0 (and the DA 1.0 data path) over
// COM behind 18 exported operations (names in kobrix2.h, KOBRIX2_EXPORTS; mapped in
// KOBRIX2.def).
//
// Threading and ownership rules
// - The library belongs to one thread: the first thread that calls any operation (the
//   program's GUI thread). If that thread has no COM apartment yet, the library makes it a
//   single-threaded apartment and keeps that reference for the life of the process. Calls
//   from any other thread, and every call when the owner thread lives in the multithreaded
//   apartment, are refused (the operation answers failure), because COM could then deliver
//   callbacks on threads of its own. Nothing is shared with another thread, so nothing is locked.
// - Callbacks (data changes, shutdown requests) come from COM objects created on the owner
//   thread; COM delivers them there while that thread pumps messages, and also while it waits
//   inside an outgoing COM call. A callback may call back into the library: every operation
//   holds the records it works on by shared_ptr across each COM call and looks again
//   (the `removed` flags, handle lookups) before it changes anything afterwards.
// - Ownership: the handle tables own the server records, a server owns its groups, a group
//   its items. A record owns its COM interfaces (ComPtr). Memory that COM hands back is freed
//   where it is received (TaskMem, Variant, VariantClear). A value passed to a callback
//   belongs to the library and is valid during the call only.
// - Handles are positive and never reused within the process; -1 and unknown handles are
//   refused without effect. A server found gone (RPC_S_SERVER_UNAVAILABLE and the like) is
//   marked dead: later calls on it answer failure at once, and removing its items, groups
//   and the connection only drops the records.
// - Every call on a server is bounded in time (Bounded.h, Library::Call): one that runs out
//   of time is cancelled and the server counts as lost, as a dead one does. While a call on a
//   server waits, a callback may call the library again: calls on that same server are then
//   refused at once; calls on other servers go ahead.
// - No exception leaves an export: each one catches everything and answers failure.
#include "kobrix/kobrix2.h"

#include "kobrix/Bounded.h"
#include "kobrix/Operations.h"
#include "kobrix/State.h"

#include <type_traits>

namespace {

// Lets a call through on the owner thread only (see the rules above).
bool Admit() {
    static volatile LONG owner = 0;
    static bool usable = false;
    const LONG self = static_cast<LONG>(GetCurrentThreadId());
    if (InterlockedCompareExchange(&owner, self, 0) == 0) {
        HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        usable = SUCCEEDED(hr);  // S_OK (we made the apartment) or S_FALSE (it was one already)
        if (usable) kobrix::PrepareBoundedCalls();
    }
    return owner == self && usable;
}

// Counts the operations under way, so that the server watch never cuts into one.
struct InCall {
    InCall() { ++kobrix::Library::Instance().callDepth; }
    ~InCall() { --kobrix::Library::Instance().callDepth; }
};

template <class R, class F>
R Guarded(R refused, F&& operation) {
    if (!Admit()) return refused;
    InCall during;
    try {
        return operation();
    } catch (...) {
        return refused;
    }
}

template <class F>
void GuardedVoid(F&& operation) {
    if (!Admit()) return;
    InCall during;
    try {
        operation();
    } catch (...) {
    }
}

}  // namespace

extern "C" {

int __stdcall OpcEnumerateServers(int selector, const char* machine) {
    return Guarded(0, [&] { return kobrix::EnumerateServers(selector, machine); });
}

int __stdcall OpcGetServerName(int index, char* buffer, int size) {
    return Guarded(0, [&] { return kobrix::GetServerName(index, buffer, size); });
}

int __stdcall OpcConnectServer(const char* machine, const char* server, int) {
    return Guarded(-1, [&] { return kobrix::ConnectServer(machine, server); });
}

void __stdcall OpcDisconnectServer(int hServer) {
    GuardedVoid([&] { kobrix::DisconnectServer(hServer); });
}

int __stdcall OpcAddGroup(int hServer, const char* name, DWORD* updateRate, float* deadband) {
    return Guarded(-1, [&] { return kobrix::AddGroup(hServer, name, updateRate, deadband); });
}

void __stdcall OpcRemoveGroup(int hServer, int hGroup) {
    GuardedVoid([&] { kobrix::RemoveGroup(hServer, hGroup); });
}

int __stdcall OpcAddItem(int hServer, int hGroup, const char* itemId) {
    return Guarded(-1, [&] { return kobrix::AddItem(hServer, hGroup, itemId); });
}

void __stdcall OpcRemoveItem(int hServer, int hGroup, int hItem) {
    GuardedVoid([&] { kobrix::RemoveItem(hServer, hGroup, hItem); });
}

void __stdcall OpcRefreshGroup(int hServer, int hGroup, int mode) {
    GuardedVoid([&] { kobrix::RefreshGroup(hServer, hGroup, mode); });
}

int __stdcall OpcWriteItem(int hServer, int hGroup, int hItem, const VARIANT* value, int) {
    return Guarded(0, [&] { return kobrix::WriteItem(hServer, hGroup, hItem, value); });
}

void __stdcall OpcSetDataChangeCallback(int hServer, OPCDATACHANGEPROC proc) {
    GuardedVoid([&] { kobrix::SetDataChangeCallback(hServer, proc); });
}

void __stdcall OpcSetShutdownCallback(int hServer, OPCSHUTDOWNPROC proc) {
    GuardedVoid([&] { kobrix::SetShutdownCallback(hServer, proc); });
}

// The library has no library-wide event to report; the callback is kept and never called.
void __stdcall OpcSetLibraryCallback(OPCLIBRARYPROC proc) {
    GuardedVoid([&] { kobrix::Library::Instance().libraryCallback = proc; });
}

int __stdcall OpcSetBrowsePosition(int hServer, const char* path) {
    return Guarded(0, [&] { return kobrix::SetBrowsePosition(hServer, path); });
}

int __stdcall OpcBrowseNames(int hServer, int type) {
    return Guarded(0, [&] { return kobrix::BrowseNames(hServer, type); });
}

int __stdcall OpcGetBrowseName(int hServer, int index, char* buffer, int size) {
    return Guarded(0, [&] { return kobrix::GetBrowseName(hServer, index, buffer, size); });
}

int __stdcall OpcGetItemId(int hServer, const char* leafName, char* buffer, int size) {
    return Guarded(0, [&] { return kobrix::GetItemId(hServer, leafName, buffer, size); });
}

int __stdcall OpcGetNamespaceType(int hServer, WORD* type) {
    return Guarded(0, [&] { return kobrix::GetNamespaceType(hServer, type); });
}

}  // extern "C"

// Each export has exactly the signature the program binds to.
#define KOBRIX_CHECK_SIGNATURE(op, name) \
    static_assert(std::is_same<decltype(&op), PFN_##op>::value, #op " differs from PFN_" #op);
KOBRIX2_EXPORTS(KOBRIX_CHECK_SIGNATURE)
#undef KOBRIX_CHECK_SIGNATURE
