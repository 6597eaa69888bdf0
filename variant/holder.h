#pragma once
// CVariant: owns one VARIANT. Initialised empty on construction, released with
// VariantClear on destruction and before each reuse as an out-parameter.
// Not copyable.
#include "variant/variant.h"

class CVariant {
  public:
    CVariant() { VariantInit(&m_v); }
    ~CVariant() { VariantClear(&m_v); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    VARIANT* Get() { return &m_v; }
    const VARIANT* Get() const { return &m_v; }
    VARIANT& operator*() { return m_v; }
    VARIANT* operator->() { return &m_v; }

    // Releases the current value and hands out the empty VARIANT, for use as an out-parameter.
    VARIANT* Reset() {
        VariantClear(&m_v);
        VariantInit(&m_v);
        return &m_v;
    }

  private:
    VARIANT m_v;
};
