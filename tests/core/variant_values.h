#pragma once
// Value descriptions for the VARIANT tests: build a VARIANT from a short description,
// compare one with a description bit for bit, and describe either in failure messages.
// Used by the tests that run against the real oleaut32 (Windows build, under Wine) and
// against the host stand-in alike.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "variant/variant.h"

namespace variant_test {

struct Value {
    VARTYPE vt = VT_EMPTY;
    int64_t i = 0;                  // signed integers, BOOL, CY units
    uint64_t u = 0;                 // unsigned integers
    double d = 0;                   // R8, DATE
    float f = 0;                    // R4
    const OLECHAR* text = nullptr;  // BSTR (null text when textIsNull)
    UINT length = 0;
    bool textIsNull = false;
};

inline UINT Length(const OLECHAR* s) {
    UINT n = 0;
    while (s[n]) ++n;
    return n;
}

inline Value Of(VARTYPE vt) {
    Value v;
    v.vt = vt;
    return v;
}
inline Value Empty() { return Of(VT_EMPTY); }
inline Value Null() { return Of(VT_NULL); }
inline Value Signed(VARTYPE vt, int64_t x) {
    Value v = Of(vt);
    v.i = x;
    return v;
}
inline Value Unsigned(VARTYPE vt, uint64_t x) {
    Value v = Of(vt);
    v.u = x;
    return v;
}
inline Value I1(int x) { return Signed(VT_I1, x); }
inline Value I2(int x) { return Signed(VT_I2, x); }
inline Value I4(int64_t x) { return Signed(VT_I4, x); }
inline Value UI1(unsigned x) { return Unsigned(VT_UI1, x); }
inline Value UI2(unsigned x) { return Unsigned(VT_UI2, x); }
inline Value UI4(uint64_t x) { return Unsigned(VT_UI4, x); }
inline Value Bool(int x) { return Signed(VT_BOOL, x); }
inline Value Cy(int64_t units) { return Signed(VT_CY, units); }  // 1.5 is Cy(15000)
inline Value R8(double x) {
    Value v = Of(VT_R8);
    v.d = x;
    return v;
}
inline Value Date(double x) {
    Value v = Of(VT_DATE);
    v.d = x;
    return v;
}
inline Value R4(float x) {
    Value v = Of(VT_R4);
    v.f = x;
    return v;
}
inline Value Text(const OLECHAR* s) {
    Value v = Of(VT_BSTR);
    v.text = s;
    v.length = Length(s);
    return v;
}
inline Value TextN(const OLECHAR* s, UINT n) {
    Value v = Of(VT_BSTR);
    v.text = s;
    v.length = n;
    return v;
}
inline Value NullText() {
    Value v = Of(VT_BSTR);
    v.textIsNull = true;
    return v;
}

// A new VARIANT holding the value; the caller VariantClear's it.
inline VARIANT Make(const Value& value) {
    VARIANT v;
    std::memset(&v, 0, sizeof v);
    switch (value.vt) {
        case VT_I1:
            v.cVal = static_cast<CHAR>(value.i);
            break;
        case VT_I2:
        case VT_BOOL:
            v.iVal = static_cast<SHORT>(value.i);
            break;
        case VT_I4:
        case VT_ERROR:
            v.lVal = static_cast<LONG>(value.i);
            break;
        case VT_INT:
            v.intVal = static_cast<INT>(value.i);
            break;
        case VT_CY:
            v.cyVal.int64 = value.i;
            break;
        case VT_UI1:
            v.bVal = static_cast<BYTE>(value.u);
            break;
        case VT_UI2:
            v.uiVal = static_cast<USHORT>(value.u);
            break;
        case VT_UI4:
            v.ulVal = static_cast<ULONG>(value.u);
            break;
        case VT_UINT:
            v.uintVal = static_cast<UINT>(value.u);
            break;
        case VT_R4:
            v.fltVal = value.f;
            break;
        case VT_R8:
            v.dblVal = value.d;
            break;
        case VT_DATE:
            v.date = value.d;
            break;
        case VT_BSTR:
            v.bstrVal = value.textIsNull ? nullptr : SysAllocStringLen(value.text, value.length);
            break;
        default:
            break;
    }
    v.vt = value.vt;
    return v;
}

inline std::string TypeName(VARTYPE vt) {
    static const char* const kNames[] = {
        "EMPTY",   "NULL",    "I2", "I4", "R4",  "R8",  "CY",  "DATE", "BSTR", "DISPATCH", "ERROR", "BOOL", "VARIANT",
        "UNKNOWN", "DECIMAL", "15", "I1", "UI1", "UI2", "UI4", "I8",   "UI8",  "INT",      "UINT",  "VOID"};
    std::string name;
    if (vt & VT_BYREF) name += "BYREF|";
    if (vt & VT_ARRAY) name += "ARRAY|";
    if (vt & VT_VECTOR) name += "VECTOR|";
    const VARTYPE base = vt & VT_TYPEMASK;
    if (base < sizeof kNames / sizeof kNames[0]) return name + kNames[base];
    return name + "vt" + std::to_string(base);
}

inline std::string Hex(HRESULT hr) {
    std::ostringstream out;
    out << "0x" << std::hex << static_cast<uint32_t>(hr);
    return out.str();
}

inline std::string Narrow(const OLECHAR* s, UINT n) {
    std::string out;
    for (UINT k = 0; k < n; ++k) {
        const unsigned c = static_cast<unsigned>(s[k]);
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        }
    }
    return out;
}

inline std::string Describe(const VARIANT& v) {
    std::ostringstream out;
    out.precision(17);
    out << TypeName(v.vt) << ' ';
    switch (v.vt) {
        case VT_I1:
            out << static_cast<int>(v.cVal);
            break;
        case VT_I2:
            out << v.iVal;
            break;
        case VT_BOOL:
            out << v.boolVal;
            break;
        case VT_I4:
            out << v.lVal;
            break;
        case VT_INT:
            out << v.intVal;
            break;
        case VT_CY:
            out << v.cyVal.int64 << " (1/10000)";
            break;
        case VT_UI1:
            out << static_cast<unsigned>(v.bVal);
            break;
        case VT_UI2:
            out << v.uiVal;
            break;
        case VT_UI4:
            out << v.ulVal;
            break;
        case VT_UINT:
            out << v.uintVal;
            break;
        case VT_R4:
            out << v.fltVal;
            break;
        case VT_R8:
            out << v.dblVal;
            break;
        case VT_DATE:
            out << v.date;
            break;
        case VT_BSTR:
            if (v.bstrVal)
                out << '"' << Narrow(v.bstrVal, SysStringLen(v.bstrVal)) << '"';
            else
                out << "(null)";
            break;
        default:
            break;
    }
    return out.str();
}

// Equal type and bit-for-bit equal value (so -0.0 differs from 0.0).
inline bool Same(const VARIANT& v, const Value& want) {
    if (v.vt != want.vt) return false;
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_R4:
            return std::memcmp(&v.fltVal, &want.f, sizeof want.f) == 0;
        case VT_R8:
        case VT_DATE:
            return std::memcmp(&v.dblVal, &want.d, sizeof want.d) == 0;
        case VT_BSTR:
            if (want.textIsNull) return v.bstrVal == nullptr;
            return v.bstrVal && SysStringLen(v.bstrVal) == want.length &&
                   std::memcmp(v.bstrVal, want.text, want.length * sizeof(OLECHAR)) == 0;
        default: {
            // Integers, BOOL, ERROR, CY: compare the type's own bytes of the value.
            VARIANT expected = Make(want);
            size_t width = 8;
            if (v.vt == VT_I1 || v.vt == VT_UI1)
                width = 1;
            else if (v.vt == VT_I2 || v.vt == VT_UI2 || v.vt == VT_BOOL)
                width = 2;
            else if (v.vt == VT_I4 || v.vt == VT_UI4 || v.vt == VT_INT || v.vt == VT_UINT || v.vt == VT_ERROR)
                width = 4;
            return std::memcmp(&v.llVal, &expected.llVal, width) == 0;
        }
    }
}

}  // namespace variant_test
