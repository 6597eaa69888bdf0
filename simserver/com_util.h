#pragma once
// Small COM helpers of the simulation server: an owning interface pointer, an owning
// VARIANT, CoTaskMem allocation for [out] arrays and strings, and the process-wide count
// of live COM objects that decides when the server exits.
// All of them are safe to use from any thread of the server's multithreaded apartment.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <utility>

namespace sim {

// Owning interface pointer (AddRef on copy, Release on destruction).
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }  // NOLINT: implicit on purpose, adds a reference
    ComPtr(const ComPtr& o) : ComPtr(o.m_p) {}
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~ComPtr() { reset(); }
    ComPtr& operator=(ComPtr o) { std::swap(m_p, o.m_p); return *this; }

    static ComPtr adopt(T* p) { ComPtr c; c.m_p = p; return c; }
    void reset() { if (m_p) std::exchange(m_p, nullptr)->Release(); }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put() { reset(); return &m_p; }
    T* detach() { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};

// Owning VARIANT.
class Variant {
public:
    Variant() { VariantInit(&m_v); }
    Variant(const Variant& o) : Variant() { VariantCopy(&m_v, const_cast<VARIANT*>(&o.m_v)); }
    explicit Variant(const VARIANT& v) : Variant() { VariantCopy(&m_v, const_cast<VARIANT*>(&v)); }
    Variant& operator=(const Variant& o) { if (this != &o) { VariantClear(&m_v); VariantCopy(&m_v, const_cast<VARIANT*>(&o.m_v)); } return *this; }
    ~Variant() { VariantClear(&m_v); }

    VARIANT* get() { return &m_v; }
    const VARIANT& ref() const { return m_v; }
    VARTYPE vt() const { return m_v.vt; }
    void clear() { VariantClear(&m_v); }
    void setR8(double d) { clear(); m_v.vt = VT_R8; m_v.dblVal = d; }
    void setR4(float f) { clear(); m_v.vt = VT_R4; m_v.fltVal = f; }
    void setI4(LONG l) { clear(); m_v.vt = VT_I4; m_v.lVal = l; }
    void setBool(bool b) { clear(); m_v.vt = VT_BOOL; m_v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; }
    void setText(const wchar_t* s) { clear(); m_v.vt = VT_BSTR; m_v.bstrVal = SysAllocString(s); }
    // Copies into caller memory that holds an initialised (or zeroed) VARIANT.
    HRESULT copyTo(VARIANT* out) const { return VariantCopy(out, const_cast<VARIANT*>(&m_v)); }

private:
    VARIANT m_v;
};

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
