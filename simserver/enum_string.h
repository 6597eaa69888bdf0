#pragma once
// IEnumString over a browse result. Clones share the (immutable) name list.
// Threading: the cursor is guarded by a mutex; callers may use one enumerator from
// several threads of the apartment.
#include "address_space.h"
#include "com_util.h"

#include <memory>
#include <mutex>

namespace sim {

class EnumString final : public IEnumString, private ModuleObject {
  public:
    // Returns a new enumerator with one reference.
    static IEnumString* create(std::shared_ptr<const NameList> names, size_t position = 0);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP Next(ULONG celt, LPOLESTR* rgelt, ULONG* pceltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumString** ppenum) override;

  private:
    EnumString(std::shared_ptr<const NameList> names, size_t position)
        : m_names(std::move(names)), m_position(position) {}
    ~EnumString() = default;

    std::atomic<ULONG> m_refs{1};
    std::shared_ptr<const NameList> m_names;
    std::mutex m_lock;
    size_t m_position;
};

}  // namespace sim
