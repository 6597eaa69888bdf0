#pragma once
// Owning holders for what COM hands back: interface pointers (ComPtr) and
// CoTaskMemAlloc'ed memory (TaskMem). Each releases exactly once, on destruction.
#include <windows.h>
#include <objbase.h>

namespace kobrix {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p, bool addRef = true) : p_(p) { if (p_ && addRef) p_->AddRef(); }
    ComPtr(const ComPtr& o) : p_(o.p_) { if (p_) p_->AddRef(); }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept { T* t = p_; p_ = o.p_; o.p_ = t; return *this; }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Address for an [out] parameter; whatever was held is released first.
    T** Put() { Reset(); return &p_; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() { if (T* t = p_) { p_ = nullptr; t->Release(); } }

    // QueryInterface into another holder; S_OK and a non-null pointer, or a failure code.
    template <class U>
    HRESULT As(REFIID iid, ComPtr<U>& out) const {
        if (!p_) return E_POINTER;
        HRESULT hr = p_->QueryInterface(iid, out.PutVoid());
        if (SUCCEEDED(hr) && !out) hr = E_NOINTERFACE;
        return hr;
    }

private:
    T* p_ = nullptr;
};

// An array or string allocated by the callee with CoTaskMemAlloc.
template <class T>
class TaskMem {
public:
    TaskMem() = default;
    TaskMem(const TaskMem&) = delete;
    TaskMem& operator=(const TaskMem&) = delete;
    ~TaskMem() { CoTaskMemFree(p_); }
    T* Get() const { return p_; }
    T** Put() { CoTaskMemFree(p_); p_ = nullptr; return &p_; }
    T& operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VARIANT that is cleared on destruction.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&v_); }
    VARIANT* Get() { return &v_; }
    const VARIANT* Get() const { return &v_; }

private:
    VARIANT v_;
};

}  // namespace kobrix
