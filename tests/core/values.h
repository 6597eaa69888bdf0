#pragma once
// Values for the core tests, in both builds.
#include <cstring>

#include "variant/holder.h"

// A VARIANT of type vt holding bits (integers, BOOL, CY units, a reference) or, for R4, R8
// and DATE, d. Owns nothing: no VariantClear needed.
inline VARIANT Raw(VARTYPE vt, long long bits, double d = 0) {
    VARIANT v;
    std::memset(&v, 0, sizeof v);
    v.vt = vt;
    v.llVal = bits;  // little-endian: the narrower members are its low bytes
    if (vt == VT_R4) v.fltVal = static_cast<float>(d);
    if (vt == VT_R8 || vt == VT_DATE) v.dblVal = d;
    return v;
}

// v, cleared, then holding length code units of text (a null BSTR for a null text).
inline VARIANT& SetText(CVariant& v, const OLECHAR* text, UINT length) {
    v.Reset()->vt = VT_BSTR;
    v->bstrVal = text ? SysAllocStringLen(text, length) : nullptr;
    return *v;
}
