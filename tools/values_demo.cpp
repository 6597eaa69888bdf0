// values_demo: shows how item values travel and how the list shows them. For a few
// values of each type it prints the XlTable block that a DDE hot link receives, the
// value text, a quality text and the timestamp text in this computer's local time.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "dde/TextValue.h"
#include "dde/XlTable.h"
#include "ui/ValueText.h"
#include "variant/holder.h"
#include "win/CString.h"
#include "win/Time.h"

namespace {

// Fills v with one sample value; the list below names them.
typedef void (*Sample)(VARIANT* v);

const Sample kSamples[] = {
    [](VARIANT* v) { v->vt = VT_EMPTY; },
    [](VARIANT* v) { v->vt = VT_NULL; },
    [](VARIANT* v) {
        v->vt = VT_I2;
        v->iVal = -5;
    },
    [](VARIANT* v) {
        v->vt = VT_I2;
        v->iVal = 32767;
    },
    [](VARIANT* v) {
        v->vt = VT_I4;
        v->lVal = 42;
    },
    [](VARIANT* v) {
        v->vt = VT_I4;
        v->lVal = -1234;
    },
    [](VARIANT* v) {
        v->vt = VT_R4;
        v->fltVal = 123.456f;
    },
    [](VARIANT* v) {
        v->vt = VT_R4;
        v->fltVal = 0.0f;
    },
    [](VARIANT* v) {
        v->vt = VT_R8;
        v->dblVal = 1.5;
    },
    [](VARIANT* v) {
        v->vt = VT_R8;
        v->dblVal = 3.14159;
    },
    [](VARIANT* v) {
        v->vt = VT_R8;
        v->dblVal = -1234.5678;
    },
    [](VARIANT* v) {
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(L"Running");
    },
    [](VARIANT* v) {
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(L"abc");
    },
    [](VARIANT* v) {
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(L"");
    },
    [](VARIANT* v) {
        v->vt = VT_BOOL;
        v->boolVal = VARIANT_TRUE;
    },
    [](VARIANT* v) {
        v->vt = VT_BOOL;
        v->boolVal = VARIANT_FALSE;
    },
    [](VARIANT* v) {
        v->vt = VT_I1;
        v->cVal = -1;
    },
    [](VARIANT* v) {
        v->vt = VT_UI1;
        v->bVal = 255;
    },
    [](VARIANT* v) {
        v->vt = VT_UI2;
        v->uiVal = 65535;
    },
    [](VARIANT* v) {
        v->vt = VT_UI4;
        v->ulVal = 0xFFFFFFFFu;
    },
    [](VARIANT* v) {
        v->vt = VT_CY;
        v->cyVal.int64 = 15000;
    },
    [](VARIANT* v) {
        v->vt = VT_DATE;
        v->date = 45306.5;
    },
};

const DWORD kQualities[] = {0xC0, 0x00, 0x40, 0xD8, 0x04, 0x18};

CString Hex(const XlTableBlock& block) {
    CString out;
    for (UINT i = 0; i < block.size; ++i) {
        CString byte;
        byte.Format(i ? " %02X" : "%02X", block.bytes[i]);
        out += byte;
    }
    return out;
}

}  // namespace

int main() {
    long long offset = CurrentUtcOffsetSeconds();
    std::printf("Quorvane values demo: XlTable blocks and display texts\n");
    long long magnitude = offset < 0 ? -offset : offset;
    std::printf("Local time %s, offset from UTC %c%02lld:%02lld\n\n",
                static_cast<const char*>(CTime::GetCurrentTime().Format("%H:%M:%S %d-%B-%Y")), offset < 0 ? '-' : '+',
                magnitude / 3600, magnitude / 60 % 60);

    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    int i = 0;
    for (Sample fill : kSamples) {
        CVariant value;
        fill(value.Get());
        XlTableBlock block;
        BOOL encoded = EncodeXlTableValue(*value, &block);
        DWORD quality = kQualities[i % (sizeof kQualities / sizeof kQualities[0])];
        // A later timestamp for each row, one second apart.
        ULARGE_INTEGER t;
        t.LowPart = now.dwLowDateTime;
        t.HighPart = now.dwHighDateTime;
        t.QuadPart += 10000000ull * i;
        FILETIME stamp;
        stamp.dwLowDateTime = t.LowPart;
        stamp.dwHighDateTime = t.HighPart;

        std::printf("%-9s value text \"%s\"\n", VarTypeName(value->vt).c_str(),
                    static_cast<const char*>(FormatVariant(*value)));
        if (encoded)
            std::printf("          XlTable (%u bytes) %s\n", block.size, static_cast<const char*>(Hex(block)));
        else
            std::printf("          XlTable: no block (the value has no number form)\n");
        std::printf("          quality 0x%02lX \"%s\", timestamp \"%s\"\n\n", static_cast<unsigned long>(quality),
                    QualityText(quality), static_cast<const char*>(FormatTimestamp(stamp)));
        ++i;
    }
    std::printf("Quality texts: 0xC0 \"%s\", 0x00 \"%s\", 0x40 \"%s\", 0xD8 \"%s\", 0x04 \"%s\"\n", QualityText(0xC0),
                QualityText(0), QualityText(0x40), QualityText(0xD8), QualityText(0x04));
    std::fflush(stdout);
    return 0;
}
