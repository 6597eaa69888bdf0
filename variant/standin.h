#pragma once
// Host stand-in for the OLE Automation value type (oleaut32), so that the portable
// modules build and run their tests on Linux. Names, type codes, HRESULTs and the
// memory layout match Windows x64; the behaviour of the functions follows what the
// real oleaut32 answers (the shared conversion table in tests/core checks both).
//
// Text: OLECHAR is char16_t here (wchar_t on Windows), so portable code writes wide
// literals as OLESTR("...") and never assumes OLECHAR == wchar_t.
//
// Threading: the functions keep no state; a VARIANT belongs to one thread at a time.
// Ownership: as on Windows, a VARIANT owns its BSTR / interface; VariantClear releases
// it, VariantCopy duplicates it. BSTRs come from SysAllocString* and are freed only by
// SysFreeString.
//
// Not provided on the host: safe arrays (an array converts only to its own type),
// IDispatch::Invoke (a live VT_DISPATCH is refused with DISP_E_TYPEMISMATCH), locales
// other than oleaut32's default en-US, and date texts that oleaut32 completes with the
// current year ("1/15"). Known last-bit differences: text with more than 17 digits or
// an exponent beyond +-22 may read as a neighbouring double, and text to DECIMAL keeps
// at most 28 decimals and no trailing zeros.
#include <cstddef>
#include <cstdint>

// ---- Basic Windows types (LLP64: LONG is 32 bits) -----------------------------------
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef char CHAR;
typedef int16_t SHORT;
typedef uint16_t USHORT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef void* PVOID;
typedef LONG HRESULT;
typedef LONG SCODE;
typedef DWORD LCID;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define STDMETHODCALLTYPE
#define WINAPI

// ---- HRESULTs ------------------------------------------------------------------------
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define QV_HRESULT(x) ((HRESULT)(int32_t)(uint32_t)(x))

#define S_OK QV_HRESULT(0x00000000u)
#define S_FALSE QV_HRESULT(0x00000001u)
#define E_NOTIMPL QV_HRESULT(0x80004001u)
#define E_NOINTERFACE QV_HRESULT(0x80004002u)
#define E_POINTER QV_HRESULT(0x80004003u)
#define E_FAIL QV_HRESULT(0x80004005u)
#define E_OUTOFMEMORY QV_HRESULT(0x8007000Eu)
#define E_INVALIDARG QV_HRESULT(0x80070057u)
#define DISP_E_UNKNOWNINTERFACE QV_HRESULT(0x80020001u)
#define DISP_E_MEMBERNOTFOUND QV_HRESULT(0x80020003u)
#define DISP_E_PARAMNOTFOUND QV_HRESULT(0x80020004u)
#define DISP_E_TYPEMISMATCH QV_HRESULT(0x80020005u)
#define DISP_E_UNKNOWNNAME QV_HRESULT(0x80020006u)
#define DISP_E_BADVARTYPE QV_HRESULT(0x80020008u)
#define DISP_E_EXCEPTION QV_HRESULT(0x80020009u)
#define DISP_E_OVERFLOW QV_HRESULT(0x8002000Au)
#define DISP_E_ARRAYISLOCKED QV_HRESULT(0x8002000Du)
#define DISP_E_BADINDEX QV_HRESULT(0x8002000Bu)
#define DISP_E_DIVBYZERO QV_HRESULT(0x80020012u)

// ---- Strings -------------------------------------------------------------------------
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* BSTR;
#define OLESTR(str) u##str

// ---- Automation scalar types -----------------------------------------------------------
typedef SHORT VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

typedef double DATE;
typedef WORD VARTYPE;

typedef union tagCY {
    struct {
        ULONG Lo;
        LONG Hi;
    };
    LONGLONG int64;
} CY;

typedef struct tagDEC {
    USHORT wReserved;
    union {
        struct {
            BYTE scale;
            BYTE sign;
        };
        USHORT signscale;
    };
    ULONG Hi32;
    union {
        struct {
            ULONG Lo32;
            ULONG Mid32;
        };
        ULONGLONG Lo64;
    };
} DECIMAL;
#define DECIMAL_NEG ((BYTE)0x80)

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME;

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef const IID& REFIID;

// Just enough of COM's base interface for a VARIANT to hold (and release) an object.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

  protected:
    ~IUnknown() = default;
};
struct IDispatch : IUnknown {
  protected:
    ~IDispatch() = default;
};
struct IRecordInfo;
struct tagSAFEARRAY;
typedef struct tagSAFEARRAY SAFEARRAY;

// ---- Type codes --------------------------------------------------------------------------
enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_PTR = 26,
    VT_SAFEARRAY = 27,
    VT_CARRAY = 28,
    VT_USERDEFINED = 29,
    VT_LPSTR = 30,
    VT_LPWSTR = 31,
    VT_RECORD = 36,
    VT_INT_PTR = 37,
    VT_UINT_PTR = 38,
    VT_FILETIME = 64,
    VT_BLOB = 65,
    VT_STREAM = 66,
    VT_STORAGE = 67,
    VT_STREAMED_OBJECT = 68,
    VT_STORED_OBJECT = 69,
    VT_BLOB_OBJECT = 70,
    VT_CF = 71,
    VT_CLSID = 72,
    VT_VERSIONED_STREAM = 73,
    VT_BSTR_BLOB = 0xfff,
    VT_VECTOR = 0x1000,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_RESERVED = 0x8000,
    VT_ILLEGAL = 0xffff,
    VT_ILLEGALMASKED = 0xfff,
    VT_TYPEMASK = 0xfff
};

// ---- The VARIANT (Windows x64 layout) ---------------------------------------------------
typedef struct tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;

struct tagVARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                IDispatch* pdispVal;
                SAFEARRAY* parray;
                BYTE* pbVal;
                SHORT* piVal;
                LONG* plVal;
                LONGLONG* pllVal;
                FLOAT* pfltVal;
                DOUBLE* pdblVal;
                VARIANT_BOOL* pboolVal;
                SCODE* pscode;
                CY* pcyVal;
                DATE* pdate;
                BSTR* pbstrVal;
                IUnknown** ppunkVal;
                IDispatch** ppdispVal;
                SAFEARRAY** pparray;
                VARIANT* pvarVal;
                PVOID byref;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
                DECIMAL* pdecVal;
                CHAR* pcVal;
                USHORT* puiVal;
                ULONG* pulVal;
                ULONGLONG* pullVal;
                INT* pintVal;
                UINT* puintVal;
                struct {
                    PVOID pvRecord;
                    IRecordInfo* pRecInfo;
                };
            };
        };
        DECIMAL decVal;
    };
};

static_assert(sizeof(VARIANT) == 24, "VARIANT must have the Windows x64 size");
static_assert(offsetof(VARIANT, vt) == 0, "vt at offset 0");
static_assert(offsetof(VARIANT, lVal) == 8, "value union at offset 8");
static_assert(offsetof(VARIANT, dblVal) == 8, "value union at offset 8");
static_assert(offsetof(VARIANT, bstrVal) == 8, "value union at offset 8");
static_assert(offsetof(VARIANT, pRecInfo) == 16, "record info at offset 16");
static_assert(offsetof(VARIANT, decVal) == 0, "DECIMAL overlays the whole VARIANT");
static_assert(sizeof(DECIMAL) == 16 && sizeof(CY) == 8, "DECIMAL and CY sizes");
static_assert(sizeof(VARIANT_BOOL) == 2 && sizeof(VARTYPE) == 2, "16-bit flag and type");
static_assert(sizeof(FILETIME) == 8, "FILETIME size");

// ---- Accessors (oleauto.h) ------------------------------------------------------------
#define V_VT(A) ((A)->vt)
#define V_ISBYREF(A) (V_VT(A) & VT_BYREF)
#define V_ISARRAY(A) (V_VT(A) & VT_ARRAY)
#define V_ISVECTOR(A) (V_VT(A) & VT_VECTOR)
#define V_NONE(A) V_I2(A)
#define V_UI1(A) ((A)->bVal)
#define V_UI1REF(A) ((A)->pbVal)
#define V_I2(A) ((A)->iVal)
#define V_I2REF(A) ((A)->piVal)
#define V_I4(A) ((A)->lVal)
#define V_I4REF(A) ((A)->plVal)
#define V_I8(A) ((A)->llVal)
#define V_I8REF(A) ((A)->pllVal)
#define V_R4(A) ((A)->fltVal)
#define V_R4REF(A) ((A)->pfltVal)
#define V_R8(A) ((A)->dblVal)
#define V_R8REF(A) ((A)->pdblVal)
#define V_I1(A) ((A)->cVal)
#define V_I1REF(A) ((A)->pcVal)
#define V_UI2(A) ((A)->uiVal)
#define V_UI2REF(A) ((A)->puiVal)
#define V_UI4(A) ((A)->ulVal)
#define V_UI4REF(A) ((A)->pulVal)
#define V_UI8(A) ((A)->ullVal)
#define V_UI8REF(A) ((A)->pullVal)
#define V_INT(A) ((A)->intVal)
#define V_INTREF(A) ((A)->pintVal)
#define V_UINT(A) ((A)->uintVal)
#define V_UINTREF(A) ((A)->puintVal)
#define V_CY(A) ((A)->cyVal)
#define V_CYREF(A) ((A)->pcyVal)
#define V_DATE(A) ((A)->date)
#define V_DATEREF(A) ((A)->pdate)
#define V_BSTR(A) ((A)->bstrVal)
#define V_BSTRREF(A) ((A)->pbstrVal)
#define V_UNKNOWN(A) ((A)->punkVal)
#define V_UNKNOWNREF(A) ((A)->ppunkVal)
#define V_DISPATCH(A) ((A)->pdispVal)
#define V_DISPATCHREF(A) ((A)->ppdispVal)
#define V_ERROR(A) ((A)->scode)
#define V_ERRORREF(A) ((A)->pscode)
#define V_BOOL(A) ((A)->boolVal)
#define V_BOOLREF(A) ((A)->pboolVal)
#define V_ARRAY(A) ((A)->parray)
#define V_ARRAYREF(A) ((A)->pparray)
#define V_BYREF(A) ((A)->byref)
#define V_VARIANTREF(A) ((A)->pvarVal)
#define V_DECIMAL(A) ((A)->decVal)
#define V_DECIMALREF(A) ((A)->pdecVal)

// ---- Functions -------------------------------------------------------------------------
// Flags of VariantChangeType; the program passes 0. Others are accepted and ignored
// except where noted in the implementation.
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_CALENDAR_HIJRI 0x08
#define VARIANT_LOCALBOOL 0x10

BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
BSTR SysAllocStringByteLen(const char* psz, UINT len);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);
// Sources are not const, as in the Windows SDK headers, so that code written against the
// stand-in also compiles on Windows.
HRESULT VariantCopy(VARIANTARG* pvargDest, VARIANTARG* pvargSrc);
HRESULT VariantCopyInd(VARIANT* pvarDest, VARIANTARG* pvargSrc);
HRESULT VariantChangeType(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
