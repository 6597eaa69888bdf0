// IEnumString of browse names: strings are allocated per call with CoTaskMemAlloc and
// belong to the caller.
#include "enum_string.h"

#include "tags.h"

namespace sim {

IEnumString* EnumString::create(std::shared_ptr<const NameList> names, size_t position) {
    return new (std::nothrow) EnumString(std::move(names), position);
}

STDMETHODIMP EnumString::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumString) {
        *ppv = static_cast<IEnumString*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EnumString::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) EnumString::Release() {
    ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
}

STDMETHODIMP EnumString::Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) {
    HangGate();
    if (pceltFetched) *pceltFetched = 0;
    if (!rgelt || (celt > 1 && !pceltFetched)) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_lock);
    ULONG got = 0;
    while (got < celt && m_position < m_names->size()) {
        rgelt[got] = TaskString(m_names->at(m_position));
        if (!rgelt[got]) {
            for (ULONG i = 0; i < got; ++i) CoTaskMemFree(rgelt[i]), rgelt[i] = nullptr;
            m_position -= got;
            return E_OUTOFMEMORY;
        }
        ++got;
        ++m_position;
    }
    if (pceltFetched) *pceltFetched = got;
    return got == celt ? S_OK : S_FALSE;
}

STDMETHODIMP EnumString::Skip(ULONG celt) {
    std::lock_guard<std::mutex> lock(m_lock);
    const size_t left = m_names->size() - m_position;
    m_position += celt < left ? celt : left;
    return celt <= left ? S_OK : S_FALSE;
}

STDMETHODIMP EnumString::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_position = 0;
    return S_OK;
}

STDMETHODIMP EnumString::Clone(IEnumString** ppenum) {
    if (!ppenum) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    *ppenum = create(m_names, m_position);
    return *ppenum ? S_OK : E_OUTOFMEMORY;
}

}  // namespace sim
