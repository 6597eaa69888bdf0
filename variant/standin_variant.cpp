// Host stand-in: VARIANT life cycle (init, clear, copy) and the type change entry point.
// The rules for which type codes are valid, and what a copy duplicates, follow oleaut32.
#include "variant/standin.h"
#include "variant/standin_coerce.h"

#include <cstring>

namespace qv_standin {

HRESULT ValidateType(VARTYPE vt) {
    const VARTYPE extra = vt & (VT_VECTOR | VT_ARRAY | VT_BYREF | VT_RESERVED);
    const VARTYPE base = vt & VT_TYPEMASK;
    if (extra & (VT_VECTOR | VT_RESERVED)) return DISP_E_BADVARTYPE;
    if (base < VT_VOID || base == VT_RECORD || base == VT_CLSID) {
        // EMPTY and NULL exist only as plain values.
        if ((extra & (VT_BYREF | VT_ARRAY)) && base <= VT_NULL) return DISP_E_BADVARTYPE;
        if (base != 15) return S_OK;
    }
    return DISP_E_BADVARTYPE;
}

}  // namespace qv_standin

using qv_standin::ValidateType;

void VariantInit(VARIANTARG* pvarg) {
    if (pvarg) pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    HRESULT hr = ValidateType(pvarg->vt);
    if (FAILED(hr)) return hr;
    if (!(pvarg->vt & VT_BYREF) && !(pvarg->vt & VT_ARRAY)) {
        switch (pvarg->vt) {
            case VT_BSTR:
                SysFreeString(pvarg->bstrVal);
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                if (pvarg->punkVal) pvarg->punkVal->Release();
                break;
            default:
                break;  // the host has no records; arrays are never made here either
        }
    }
    // Like the real one, only the type changes: the value bytes are left as they were.
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if ((pvargSrc->vt & VT_TYPEMASK) == VT_CLSID || FAILED(ValidateType(pvargSrc->vt))) return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc) return S_OK;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) return hr;
    std::memcpy(pvargDest, pvargSrc, sizeof(VARIANT));
    if (pvargSrc->vt & (VT_BYREF | VT_ARRAY)) return S_OK;  // references are shared
    switch (pvargSrc->vt) {
        case VT_BSTR:
            // A null text copies as an empty one, as oleaut32 does.
            pvargDest->bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(pvargSrc->bstrVal),
                                                       SysStringByteLen(pvargSrc->bstrVal));
            if (!pvargDest->bstrVal) {
                pvargDest->vt = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (pvargDest->punkVal) pvargDest->punkVal->AddRef();
            break;
        default:
            break;
    }
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, VARIANTARG* pvargSrc) {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    if (!(pvargSrc->vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
    HRESULT hr = ValidateType(pvargSrc->vt);
    if (FAILED(hr)) return hr;
    if (!pvargSrc->byref) return E_INVALIDARG;

    VARIANT value;
    std::memset(&value, 0, sizeof value);
    const VARTYPE base = pvargSrc->vt & ~VT_BYREF;
    if (base & VT_ARRAY) {
        value.parray = *pvargSrc->pparray;  // the host cannot duplicate safe arrays
    } else {
        switch (base) {
            case VT_I1:
            case VT_UI1:
                value.bVal = *pvargSrc->pbVal;
                break;
            case VT_I2:
            case VT_UI2:
            case VT_BOOL:
                value.iVal = *pvargSrc->piVal;
                break;
            case VT_I4:
            case VT_UI4:
            case VT_INT:
            case VT_UINT:
            case VT_ERROR:
            case VT_R4:
                std::memcpy(&value.lVal, pvargSrc->byref, 4);
                break;
            case VT_I8:
            case VT_UI8:
            case VT_R8:
            case VT_DATE:
            case VT_CY:
                std::memcpy(&value.llVal, pvargSrc->byref, 8);
                break;
            case VT_DECIMAL: {
                value.decVal = *pvargSrc->pdecVal;
                break;
            }
            case VT_BSTR:
                value.bstrVal = *pvargSrc->pbstrVal;
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                value.punkVal = *pvargSrc->ppunkVal;
                break;
            case VT_VARIANT: {
                VARIANT* inner = pvargSrc->pvarVal;
                if (inner->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
                if (pvarDest == pvargSrc) {
                    VARIANT copy;
                    VariantInit(&copy);
                    hr = VariantCopy(&copy, inner);
                    if (FAILED(hr)) return hr;
                    *pvarDest = copy;
                    return S_OK;
                }
                hr = VariantClear(pvarDest);
                return FAILED(hr) ? hr : VariantCopy(pvarDest, inner);
            }
            default:
                return E_INVALIDARG;
        }
    }
    value.vt = base;
    // Copy from the dereferenced value so that texts and interfaces are duplicated.
    VARIANT copy;
    VariantInit(&copy);
    hr = VariantCopy(&copy, &value);
    if (FAILED(hr)) return hr;
    if (pvarDest != pvargSrc) {
        hr = VariantClear(pvarDest);
        if (FAILED(hr)) {
            VariantClear(&copy);
            return hr;
        }
    }
    *pvarDest = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if (vt == VT_CLSID) return DISP_E_BADVARTYPE;
    HRESULT hr = ValidateType(pvarSrc->vt);
    if (FAILED(hr)) return hr;
    hr = ValidateType(vt);
    if (FAILED(hr)) return hr;
    if ((pvarSrc->vt & VT_BYREF) && !pvarSrc->byref) return DISP_E_TYPEMISMATCH;

    VARIANT source;
    VariantInit(&source);
    hr = VariantCopyInd(&source, pvarSrc);
    if (FAILED(hr)) return hr;

    VARIANT result;
    std::memset(&result, 0, sizeof result);
    if ((source.vt & VT_ARRAY) || (vt & VT_ARRAY)) {
        // Arrays convert only to their own type (the host has no element conversion).
        hr = source.vt == vt ? VariantCopy(&result, &source) : DISP_E_TYPEMISMATCH;
    } else {
        hr = qv_standin::Coerce(&result, &source, wFlags, vt);
        if (SUCCEEDED(hr)) result.vt = vt;
    }
    VariantClear(&source);
    if (FAILED(hr)) return hr;

    // The destination is replaced only on success, and may be the source itself.
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}
