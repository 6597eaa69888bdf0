#pragma once
// Owning holders for what COM hands out, shared by the OPC client library, the simulation
// server, the tools and the tests: interface pointers (ComPtr), CoTaskMemAlloc'ed memory
// (TaskMem) and VARIANTs (Variant). Each releases exactly once, on destruction.
// Header-only and free of the window framework, so that KOBRIX2.dll can use it.
// A holder is not itself thread-safe; what it holds follows the rules of its apartment.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>
#include <utility>

namespace com {

template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes a reference of its own; Adopt() takes over one the caller already holds.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    static ComPtr Adopt(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Address for an [out] parameter; whatever was held is released first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (T* t = std::exchange(p_, nullptr)) t->Release();
    }

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
    T** Put() {
        CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }
    T& operator[](size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    T* p_ = nullptr;
};

// A VARIANT that is cleared on destruction; copies are deep (VariantCopy).
class Variant {
  public:
    Variant() { VariantInit(&v_); }
    explicit Variant(const VARIANT& v) : Variant() { VariantCopy(&v_, const_cast<VARIANT*>(&v)); }
    Variant(const Variant& o) : Variant(o.v_) {}
    Variant& operator=(const Variant& o) {
        if (this != &o) {
            Clear();
            VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
        }
        return *this;
    }
    ~Variant() { VariantClear(&v_); }

    VARIANT* Get() { return &v_; }
    const VARIANT& Ref() const { return v_; }
    VARTYPE Vt() const { return v_.vt; }
    void Clear() { VariantClear(&v_); }
    void SetR8(double d) {
        Clear();
        v_.vt = VT_R8;
        v_.dblVal = d;
    }
    void SetR4(float f) {
        Clear();
        v_.vt = VT_R4;
        v_.fltVal = f;
    }
    void SetI4(LONG l) {
        Clear();
        v_.vt = VT_I4;
        v_.lVal = l;
    }
    void SetBool(bool b) {
        Clear();
        v_.vt = VT_BOOL;
        v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void SetText(const wchar_t* s) {
        Clear();
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocString(s);
    }
    // Copies into caller memory that holds an initialised (or zeroed) VARIANT.
    HRESULT CopyTo(VARIANT* out) const { return VariantCopy(out, const_cast<VARIANT*>(&v_)); }

  private:
    VARIANT v_;
};

}  // namespace com
