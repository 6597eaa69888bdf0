// Host stand-in: value conversions. Each rule reproduces what oleaut32 answers, including
// its less obvious habits (measured under Wine and kept in the shared conversion table):
// integers of the same size but other signedness are reinterpreted rather than refused,
// VARIANT_BOOL converts as the 16-bit number -1/0, reals round half to even, text is
// read with all number forms oleaut32 accepts, and NULL / ERROR convert to nothing.
#include "variant/standin_coerce.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "variant/standin_format.h"

namespace qv_standin {
namespace {

const IID kIID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr int64_t kCyMaxWhole = 922337203685477;  // largest whole number a CY holds

struct IntType {
    int bits;
    bool isSigned;
};

bool IntegerType(VARTYPE vt, IntType* type) {
    switch (vt) {
        case VT_I1:
            *type = {8, true};
            return true;
        case VT_UI1:
            *type = {8, false};
            return true;
        case VT_I2:
            *type = {16, true};
            return true;
        case VT_UI2:
            *type = {16, false};
            return true;
        case VT_I4:
        case VT_INT:
            *type = {32, true};
            return true;
        case VT_UI4:
        case VT_UINT:
            *type = {32, false};
            return true;
        case VT_I8:
            *type = {64, true};
            return true;
        case VT_UI8:
            *type = {64, false};
            return true;
        default:
            return false;
    }
}

// Reads an integer source as a signed or unsigned 64-bit number.
void ReadInteger(const VARIANT* v, int64_t* s, uint64_t* u) {
    switch (v->vt) {
        case VT_I1:
            *s = v->cVal;
            break;
        case VT_UI1:
            *u = v->bVal;
            break;
        case VT_I2:
            *s = v->iVal;
            break;
        case VT_UI2:
            *u = v->uiVal;
            break;
        case VT_I4:
            *s = v->lVal;
            break;
        case VT_INT:
            *s = v->intVal;
            break;
        case VT_UI4:
            *u = v->ulVal;
            break;
        case VT_UINT:
            *u = v->uintVal;
            break;
        case VT_I8:
            *s = v->llVal;
            break;
        case VT_UI8:
            *u = v->ullVal;
            break;
        default:
            break;
    }
}

// Stores the low `bits` of a value into the integer member for `vt`.
void StoreInteger(VARIANT* dest, VARTYPE vt, uint64_t pattern) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            dest->bVal = static_cast<BYTE>(pattern);
            break;
        case VT_I2:
        case VT_UI2:
            dest->uiVal = static_cast<USHORT>(pattern);
            break;
        case VT_I4:
        case VT_INT:
        case VT_UI4:
        case VT_UINT:
            dest->ulVal = static_cast<ULONG>(pattern);
            break;
        default:
            dest->ullVal = pattern;
            break;
    }
}

int64_t MinOf(IntType t) { return t.isSigned ? (t.bits == 64 ? INT64_MIN : -(int64_t{1} << (t.bits - 1))) : 0; }
uint64_t MaxOf(IntType t) {
    if (t.bits == 64) return t.isSigned ? uint64_t{INT64_MAX} : UINT64_MAX;
    return t.isSigned ? (uint64_t{1} << (t.bits - 1)) - 1 : (uint64_t{1} << t.bits) - 1;
}

HRESULT IntegerFromInteger(IntType from, int64_t s, uint64_t u, IntType to, uint64_t* pattern) {
    if (from.bits == to.bits && from.isSigned != to.isSigned) {
        // oleaut32 reinterprets between same-sized types (-1 as I2 becomes 65535 as UI2).
        *pattern = from.isSigned ? static_cast<uint64_t>(s) : u;
        return S_OK;
    }
    if (from.isSigned) {
        if (s < MinOf(to) || (s > 0 && static_cast<uint64_t>(s) > MaxOf(to))) return DISP_E_OVERFLOW;
        *pattern = static_cast<uint64_t>(s);
    } else {
        if (u > MaxOf(to)) return DISP_E_OVERFLOW;
        *pattern = u;
    }
    return S_OK;
}

HRESULT IntegerFromReal(double d, IntType to, uint64_t* pattern) {
    if (std::isnan(d)) {
        // The real one's rounding ends in "truncate, then step down by one", and the CPU
        // truncates NaN to its integer-indefinite value: this is what comes out.
        *pattern = to.bits == 64 ? uint64_t{INT64_MAX}
                                 : (to.bits == 32 ? (to.isSigned ? 0x7FFFFFFFu : 0xFFFFFFFFu) : UINT64_MAX);
        return S_OK;
    }
    if (to.bits == 64 && to.isSigned) {
        // The real one admits only doubles within +-2^62 for I8.
        if (d < -4611686018427387904.0 || d >= 4611686018427387904.0) return DISP_E_OVERFLOW;
    } else {
        const double lower = to.isSigned ? -std::ldexp(1.0, to.bits - 1) - 0.5 : -0.5;
        const double upper = (to.isSigned ? std::ldexp(1.0, to.bits - 1) : std::ldexp(1.0, to.bits)) - 0.5;
        if (d < lower || d >= upper) return DISP_E_OVERFLOW;
    }
    const double r = std::nearbyint(d);  // half to even in the default rounding mode
    if (to.isSigned) {
        *pattern = static_cast<uint64_t>(r <= -9223372036854775808.0 ? INT64_MIN : static_cast<int64_t>(r));
    } else {
        *pattern = r <= 0 ? 0 : static_cast<uint64_t>(r);
    }
    return S_OK;
}

// As the real one computes it: the low and high parts apart (so that a negative zero
// comes out as +0).
double DecimalToDouble(const DECIMAL& dec) {
    const bool negative = (dec.sign & DECIMAL_NEG) != 0;
    double divisor = 1.0;
    for (int i = 0; i < dec.scale; ++i) divisor *= 10.0;
    double high = 0.0;
    if (dec.Hi32) {
        high = static_cast<double>(dec.Hi32) / divisor * 4294967296.0 * 4294967296.0;
        if (negative) high = -high;
    }
    const double low = static_cast<double>(dec.Lo64) / divisor;
    return (negative ? -low : low) + high;
}

// Scaled in extended precision, as the real one does: 0.00005 (a hair above the half)
// becomes 1, and 123456789012345 scales exactly.
HRESULT CyFromDouble(double d, CY* out) {
    if (!(d >= -922337203685477.5808 && d < 922337203685477.5808)) return DISP_E_OVERFLOW;
    const long double scaled = std::nearbyint(static_cast<long double>(d) * 10000.0L);
    if (scaled >= 9223372036854775808.0L || scaled < -9223372036854775808.0L) return DISP_E_OVERFLOW;
    out->int64 = static_cast<int64_t>(scaled);
    return S_OK;
}

void SetDecimal(DECIMAL* dec, bool negative, unsigned __int128 mantissa, int scale) {
    std::memset(dec, 0, sizeof *dec);
    dec->scale = static_cast<BYTE>(scale);
    dec->sign = (negative && mantissa != 0) ? DECIMAL_NEG : 0;
    dec->Lo64 = static_cast<uint64_t>(mantissa);
    dec->Hi32 = static_cast<ULONG>(mantissa >> 64);
}

constexpr unsigned __int128 kDecimalLimit = (static_cast<unsigned __int128>(1) << 96);

// A decimal from digits * 10^exponent, rounded half to even to at most 28 decimals.
HRESULT DecimalFromDigits(bool negative, const std::string& digits, int exponent, DECIMAL* dec) {
    std::string kept = digits;
    int scale = -exponent;
    if (scale < 0) {
        if (digits.size() + static_cast<size_t>(-scale) > 29) return DISP_E_OVERFLOW;
        kept.append(static_cast<size_t>(-scale), '0');
        scale = 0;
    }
    // Drop fractional digits beyond what 28 decimals and 29 digits hold, rounding half to even.
    const int excess = std::max(scale - 28, static_cast<int>(kept.size()) - 29);
    bool roundUp = false;
    if (excess > 0) {
        if (excess > scale) return DISP_E_OVERFLOW;
        if (static_cast<size_t>(excess) > kept.size()) kept.insert(0, static_cast<size_t>(excess) - kept.size(), '0');
        const size_t cut = kept.size() - static_cast<size_t>(excess);
        const char first = kept[cut];
        const bool sticky = kept.find_first_not_of('0', cut + 1) != std::string::npos;
        const bool odd = cut > 0 && ((kept[cut - 1] - '0') & 1);
        roundUp = first > '5' || (first == '5' && (sticky || odd));
        kept.resize(cut);
        scale -= excess;
    }
    unsigned __int128 mantissa = 0;
    for (char c : kept) mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
    if (roundUp) ++mantissa;
    while (mantissa >= kDecimalLimit) {
        if (scale == 0) return DISP_E_OVERFLOW;
        const unsigned rest = static_cast<unsigned>(mantissa % 10);
        mantissa /= 10;
        --scale;
        if (rest > 5 || (rest == 5 && (mantissa & 1))) ++mantissa;
    }
    if (mantissa == 0) scale = 0;
    SetDecimal(dec, negative, mantissa, scale);
    return S_OK;
}

// oleaut32 gives a real's decimal the real's own significant digits (16 for a double,
// 7 for a float); whole numbers are taken exactly.
HRESULT DecimalFromReal(double d, int significant, DECIMAL* dec) {
    if (std::isnan(d)) return DISP_E_BADVARTYPE;
    if (!(std::fabs(d) < 79228162514264337593543950336.0)) return DISP_E_OVERFLOW;
    const bool negative = d < 0;
    const double magnitude = std::fabs(d);
    if (magnitude == std::floor(magnitude)) {  // whole numbers are taken exactly
        SetDecimal(dec, negative, static_cast<unsigned __int128>(magnitude), 0);
        return S_OK;
    }
    // One digit more than kept, then rounded half up: the real one's double rounding
    // (1/7 gives ...429, where a single rounding gives ...428).
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", significant, magnitude);
    std::string digits;
    const char* p = text;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    int power = *p == 'e' ? std::atoi(p + 1) : 0;
    const bool up = digits.back() >= '5';
    digits.pop_back();
    for (size_t i = digits.size(); up && i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
            if (i == 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++power;
            }
        } else {
            ++digits[i];
            break;
        }
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int exponent = power - static_cast<int>(digits.size()) + 1;
    if (exponent < -28 - 16) {  // far below the smallest decimal: zero
        SetDecimal(dec, false, 0, 0);
        return S_OK;
    }
    return DecimalFromDigits(negative, digits, exponent, dec);
}

// ---- Sources in a common form ------------------------------------------------------------

enum class Kind { kEmpty, kInteger, kReal, kCurrency, kBool, kText, kDecimal, kOther };

struct Source {
    Kind kind = Kind::kOther;
    IntType intType{32, true};
    int64_t s = 0;
    uint64_t u = 0;
    double d = 0;         // kReal (R4 widened, R8, DATE)
    bool single = false;  // kReal from R4
    const VARIANT* v = nullptr;
};

Source Classify(const VARIANT* v) {
    Source src;
    src.v = v;
    if (IntegerType(v->vt, &src.intType)) {
        src.kind = Kind::kInteger;
        ReadInteger(v, &src.s, &src.u);
        return src;
    }
    switch (v->vt) {
        case VT_EMPTY:
            src.kind = Kind::kEmpty;
            break;
        case VT_R4:
            src.kind = Kind::kReal;
            src.d = v->fltVal;
            src.single = true;
            break;
        case VT_R8:
            src.kind = Kind::kReal;
            src.d = v->dblVal;
            break;
        case VT_DATE:
            src.kind = Kind::kReal;
            src.d = v->date;
            break;
        case VT_CY:
            src.kind = Kind::kCurrency;
            src.s = v->cyVal.int64;
            break;
        case VT_BOOL:
            src.kind = Kind::kBool;
            src.s = v->boolVal;
            break;
        case VT_BSTR:
            src.kind = Kind::kText;
            break;
        case VT_DECIMAL:
            src.kind = Kind::kDecimal;
            src.d = DecimalToDouble(v->decVal);
            break;
        default:
            src.kind = Kind::kOther;
            break;
    }
    return src;
}

const OLECHAR kEmptyText[] = {0};
const OLECHAR* TextOf(const VARIANT* v) { return v->bstrVal ? v->bstrVal : kEmptyText; }

// The value of a numeric source as a double (what VarR8From* gives).
HRESULT ToDouble(const Source& src, double* out) {
    switch (src.kind) {
        case Kind::kEmpty:
            *out = 0;
            return S_OK;
        case Kind::kInteger:
            *out = src.intType.isSigned ? static_cast<double>(src.s) : static_cast<double>(src.u);
            return S_OK;
        case Kind::kReal:
        case Kind::kDecimal:
            *out = src.d;
            return S_OK;
        case Kind::kCurrency:
            *out = static_cast<double>(src.s) / 10000.0;
            return S_OK;
        case Kind::kBool:
            *out = static_cast<double>(src.s);
            return S_OK;
        case Kind::kText: {
            ParsedNumber number;
            HRESULT hr = ParseNumber(TextOf(src.v), &number);
            return FAILED(hr) ? hr : ParsedToDouble(number, out);
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ToInteger(const Source& src, VARTYPE vt, VARIANT* dest) {
    IntType to;
    IntegerType(vt, &to);
    uint64_t pattern = 0;
    HRESULT hr = S_OK;
    switch (src.kind) {
        case Kind::kEmpty:
            break;
        case Kind::kInteger:
            hr = IntegerFromInteger(src.intType, src.s, src.u, to, &pattern);
            break;
        case Kind::kBool:
            pattern = static_cast<uint64_t>(src.s);
            break;  // plain 16-bit cast
        case Kind::kReal:
        case Kind::kDecimal:
            hr = IntegerFromReal(src.d, to, &pattern);
            break;
        case Kind::kCurrency:
            if (vt == VT_I8) {
                // The real one truncates, then steps negative amounts one further down.
                int64_t whole = src.s / 10000;
                if (src.s < 0) {
                    --whole;
                } else {
                    const int64_t rest = src.s - whole * 10000;
                    if (rest > 5000 || (rest == 5000 && (whole & 1))) ++whole;
                }
                pattern = static_cast<uint64_t>(whole);
            } else {
                hr = IntegerFromReal(static_cast<double>(src.s) / 10000.0, to, &pattern);
            }
            break;
        case Kind::kText: {
            ParsedNumber number;
            hr = ParseNumber(TextOf(src.v), &number);
            int64_t value = 0;
            if (SUCCEEDED(hr)) hr = ParsedToInteger(number, to.bits, to.isSigned, &value);
            pattern = static_cast<uint64_t>(value);
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (SUCCEEDED(hr)) StoreInteger(dest, vt, pattern);
    return hr;
}

HRESULT ToR4(const Source& src, VARIANT* dest) {
    if (src.kind == Kind::kInteger) {
        dest->fltVal = src.intType.isSigned ? static_cast<float>(src.s) : static_cast<float>(src.u);
        return S_OK;
    }
    double d = 0;
    HRESULT hr = ToDouble(src, &d);
    if (FAILED(hr)) return hr;
    if (std::fabs(d) > FLT_MAX) return DISP_E_OVERFLOW;  // NaN passes, as in the real one
    dest->fltVal = static_cast<float>(d);
    return S_OK;
}

HRESULT ToDate(const Source& src, VARIANT* dest) {
    if (src.kind == Kind::kText) return ParseDate(TextOf(src.v), &dest->date);
    double d = 0;
    HRESULT hr = ToDouble(src, &d);
    if (FAILED(hr)) return hr;
    // The real one checks the range for everything but floats and currency.
    const bool unchecked = src.single || src.kind == Kind::kCurrency;
    if (!unchecked && !DateInRange(d)) return DISP_E_OVERFLOW;
    dest->date = d;
    return S_OK;
}

HRESULT ToCurrency(const Source& src, VARIANT* dest) {
    switch (src.kind) {
        case Kind::kInteger: {
            if (src.intType.isSigned) {
                if (src.s > kCyMaxWhole || src.s < -kCyMaxWhole) return DISP_E_OVERFLOW;
                dest->cyVal.int64 = src.s * 10000;
            } else {
                if (src.u > static_cast<uint64_t>(kCyMaxWhole)) return DISP_E_OVERFLOW;
                dest->cyVal.int64 = static_cast<int64_t>(src.u) * 10000;
            }
            return S_OK;
        }
        case Kind::kBool:
            dest->cyVal.int64 = src.s * 10000;
            return S_OK;
        case Kind::kText: {
            ParsedNumber number;
            HRESULT hr = ParseNumber(TextOf(src.v), &number);
            if (FAILED(hr)) return hr;
            if (number.radix) return DISP_E_OVERFLOW;  // the real one takes no "&H" currency
            double d = 0;
            hr = ParsedToDouble(number, &d);
            return FAILED(hr) ? hr : CyFromDouble(d, &dest->cyVal);
        }
        default: {
            double d = 0;
            HRESULT hr = ToDouble(src, &d);
            return FAILED(hr) ? hr : CyFromDouble(d, &dest->cyVal);
        }
    }
}

HRESULT ToBool(const Source& src, VARIANT* dest) {
    bool nonZero = false;
    switch (src.kind) {
        case Kind::kEmpty:
            break;
        case Kind::kInteger:
            nonZero = src.intType.isSigned ? src.s != 0 : src.u != 0;
            break;
        case Kind::kCurrency:
        case Kind::kBool:
            nonZero = src.s != 0;
            break;
        case Kind::kReal:
        case Kind::kDecimal:
            nonZero = src.d != 0;
            break;  // NaN is true
        case Kind::kText: {
            VARIANT_BOOL word;
            if (ParseBoolWord(TextOf(src.v), &word)) {
                dest->boolVal = word;
                return S_OK;
            }
            double d = 0;
            HRESULT hr = ToDouble(src, &d);
            if (FAILED(hr)) return hr;
            nonZero = d != 0;
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    dest->boolVal = nonZero ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ToText(const Source& src, USHORT flags, VARIANT* dest) {
    std::u16string text;
    switch (src.kind) {
        case Kind::kEmpty:
            break;
        case Kind::kInteger:
            text = src.intType.isSigned ? FormatInteger(src.s) : FormatUnsigned(src.u);
            break;
        case Kind::kBool:
            // With flags 0 a boolean reads as its number; the words only on request.
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
                text = src.s ? u"True" : u"False";
            else
                text = FormatInteger(src.s);
            break;
        case Kind::kReal:
            if (src.v->vt == VT_DATE) {
                HRESULT hr = FormatDate(src.d, &text);
                if (FAILED(hr)) return hr;
            } else {
                text = FormatReal(src.d, src.single ? 7 : 15);
            }
            break;
        case Kind::kCurrency: {
            const bool negative = src.s < 0;
            const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(src.s) : static_cast<uint64_t>(src.s);
            text = FormatScaled(negative, 0, magnitude, 4);
            break;
        }
        case Kind::kDecimal: {
            const DECIMAL& dec = src.v->decVal;
            text = FormatScaled(dec.sign != 0, dec.Hi32, dec.Lo64, dec.scale);
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    dest->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return dest->bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToDecimal(const Source& src, VARIANT* dest) {
    DECIMAL dec;
    HRESULT hr = S_OK;
    switch (src.kind) {
        case Kind::kEmpty:
            SetDecimal(&dec, false, 0, 0);
            break;
        case Kind::kInteger:
            if (src.intType.isSigned)
                SetDecimal(&dec, src.s < 0, src.s < 0 ? 0 - static_cast<uint64_t>(src.s) : static_cast<uint64_t>(src.s),
                           0);
            else
                SetDecimal(&dec, false, src.u, 0);
            break;
        case Kind::kBool:
            SetDecimal(&dec, false, src.s ? 1 : 0, 0);
            break;  // as the real one: +1
        case Kind::kCurrency:
            SetDecimal(&dec, src.s < 0, src.s < 0 ? 0 - static_cast<uint64_t>(src.s) : static_cast<uint64_t>(src.s), 4);
            break;
        case Kind::kReal:
            hr = DecimalFromReal(src.d, src.single ? 7 : 16, &dec);
            break;
        case Kind::kText: {
            ParsedNumber number;
            hr = ParseNumber(TextOf(src.v), &number);
            if (FAILED(hr)) break;
            if (number.radix)
                SetDecimal(&dec, false, number.radixValue, 0);
            else
                hr = DecimalFromDigits(number.negative, number.digits.empty() ? "0" : number.digits, number.exponent,
                                       &dec);
            break;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
    if (SUCCEEDED(hr)) dest->decVal = dec;
    return hr;
}

}  // namespace

HRESULT Coerce(VARIANT* dest, VARIANT* src, USHORT flags, VARTYPE vt) {
    std::memset(dest, 0, sizeof *dest);
    if (src->vt == vt) return VariantCopy(dest, src);

    const VARTYPE from = src->vt;
    // Empty and null targets take any plain scalar or interface, but not NULL -> EMPTY.
    if (vt == VT_EMPTY || vt == VT_NULL) {
        if (vt == VT_EMPTY && from == VT_NULL) return DISP_E_TYPEMISMATCH;
        if (from <= VT_UINT && from != 15 && from != VT_ERROR) return S_OK;
        return DISP_E_TYPEMISMATCH;
    }
    if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        if (from != VT_UNKNOWN && from != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        if (!src->punkVal) return S_OK;
        void* object = nullptr;
        HRESULT hr = src->punkVal->QueryInterface(vt == VT_DISPATCH ? kIID_IDispatch : kIID_IUnknown, &object);
        if (SUCCEEDED(hr)) dest->punkVal = static_cast<IUnknown*>(object);
        return hr;
    }
    // An object's value would come from IDispatch::Invoke; a null one is a bad type.
    // The host cannot invoke, so a live object is refused as a mismatch.
    if (from == VT_DISPATCH) {
        const bool scalar = vt == VT_I1 || vt == VT_UI1 || vt == VT_I2 || vt == VT_UI2 || vt == VT_I4 || vt == VT_UI4 ||
                            vt == VT_INT || vt == VT_UINT || vt == VT_I8 || vt == VT_UI8 || vt == VT_R4 ||
                            vt == VT_R8 || vt == VT_CY || vt == VT_DATE || vt == VT_BSTR || vt == VT_BOOL ||
                            vt == VT_DECIMAL;
        return (scalar && !src->pdispVal) ? DISP_E_BADVARTYPE : DISP_E_TYPEMISMATCH;
    }

    if (from == VT_DECIMAL && vt != VT_BSTR && (src->decVal.scale > 28 || (src->decVal.sign & ~DECIMAL_NEG)))
        return E_INVALIDARG;  // a malformed decimal has no value

    const Source source = Classify(src);
    if (source.kind == Kind::kOther) return DISP_E_TYPEMISMATCH;  // NULL, ERROR, objects, ...
    switch (vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
            return ToInteger(source, vt, dest);
        case VT_R4:
            return ToR4(source, dest);
        case VT_R8:
            return ToDouble(source, &dest->dblVal);
        case VT_DATE:
            return ToDate(source, dest);
        case VT_CY:
            return ToCurrency(source, dest);
        case VT_BOOL:
            return ToBool(source, dest);
        case VT_BSTR:
            return ToText(source, flags, dest);
        case VT_DECIMAL:
            return ToDecimal(source, dest);
        default:
            return DISP_E_TYPEMISMATCH;  // ERROR, VARIANT, RECORD, by-reference targets
    }
}

}  // namespace qv_standin
