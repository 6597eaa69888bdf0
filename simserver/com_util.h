#pragma once
// Small COM helpers of the simulation server: CoTaskMem allocation for [out] arrays and
// strings, and the process-wide count of live COM objects that decides when the server
// exits. The owning holders (ComPtr, Variant) are the shared ones of com/ComPtr.h.
// All of them are safe to use from any thread of the server's multithreaded apartment.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include "com/ComPtr.h"

#include <atomic>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <utility>

namespace sim {

using com::ComPtr;
using com::Variant;

// Zeroed CoTaskMem array for an [out] parameter; nullptr when n is 0 or memory is short.
template <class T>
T* TaskAlloc(size_t n) {
    if (n == 0) return nullptr;
    void* p = CoTaskMemAlloc(n * sizeof(T));
    if (p) std::memset(p, 0, n * sizeof(T));
    return static_cast<T*>(p);
}

inline LPWSTR TaskString(const std::wstring& s) {
    auto* p = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
    if (p) std::memcpy(p, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    return p;
}

// Live COM objects of the process. When the count drops to zero the main thread is told
// to end (it revokes the class objects and exits once nothing is left).
// Each object also records the process id of the client whose call made it: a client that
// is killed never releases its objects, and Wine (unlike Windows) has no COM ping that
// would release them, so the worker ends the server once every such client is gone.
class ModuleLife {
  public:
    static void start(DWORD mainThread) { s_mainThread = mainThread; }
    // add() returns the calling client's process id (0 = unknown), to be given to remove().
    static DWORD add();
    static void remove(DWORD client);
    static DWORD callerProcessId();
    static long count() { return s_objects.load(); }
    static bool everUsed() { return s_everUsed.load(); }
    // True when objects exist and every client that made them is known to have ended.
    static bool allClientsGone();
    static DWORD mainThread() { return s_mainThread; }

  private:
    static inline std::atomic<long> s_objects{0};
    static inline std::atomic<bool> s_everUsed{false};
    static inline DWORD s_mainThread = 0;
};

// Base of every COM object of the server: keeps the module alive while it exists.
class ModuleObject {
  protected:
    ModuleObject() : m_client(ModuleLife::add()) {}
    ~ModuleObject() { ModuleLife::remove(m_client); }
    ModuleObject(const ModuleObject&) = delete;
    ModuleObject& operator=(const ModuleObject&) = delete;

  private:
    const DWORD m_client;
};

}  // namespace sim
