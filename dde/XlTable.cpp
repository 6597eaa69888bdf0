#include "dde/XlTable.h"

#include <cstring>
#include <string>

#include "variant/text.h"

namespace {

const UINT kCellTypeOffset = 8;
const UINT kCellSizeOffset = 10;
const UINT kCellDataOffset = 12;

void Put16(BYTE* at, UINT value) {
    at[0] = static_cast<BYTE>(value & 0xFF);
    at[1] = static_cast<BYTE>((value >> 8) & 0xFF);
}

WORD Get16(const BYTE* at) { return static_cast<WORD>(at[0] | (at[1] << 8)); }

// Writes the table record and the cell record's header; answers the cell data.
BYTE* StartBlock(XlTableBlock* block, WORD cellType, UINT cellSize) {
    Put16(block->bytes + 0, kTdtTable);
    Put16(block->bytes + 2, 4);
    Put16(block->bytes + 4, 1);  // rows
    Put16(block->bytes + 6, 1);  // columns
    Put16(block->bytes + kCellTypeOffset, cellType);
    Put16(block->bytes + kCellSizeOffset, cellSize);
    block->size = kCellDataOffset + cellSize;
    return block->bytes + kCellDataOffset;
}

}  // namespace

BOOL EncodeXlTableValue(const VARIANT& value, XlTableBlock* block) {
    if (!block) return FALSE;
    block->size = 0;
    if (value.vt == VT_BSTR) {
        std::string text;
        if (value.bstrVal) text = AnsiFromWide(value.bstrVal, SysStringLen(value.bstrVal));
        size_t n = std::strlen(text.c_str());  // an embedded NUL ends the text
        if (n > kXlTableMaxText) n = kXlTableMaxText;
        BYTE* cell = StartBlock(block, kTdtString, static_cast<UINT>(n) + 1);
        cell[0] = static_cast<BYTE>(n);
        std::memcpy(cell + 1, text.data(), n);
        return TRUE;
    }
    if (value.vt == VT_BOOL) {
        Put16(StartBlock(block, kTdtBool, 2), value.boolVal != 0 ? 1 : 0);
        return TRUE;
    }
    VARIANT number;
    VariantInit(&number);
    // VariantChangeType does not change its source; the SDK just does not declare it const.
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_R8))) return FALSE;
    double d = number.dblVal;
    VariantClear(&number);
    std::memcpy(StartBlock(block, kTdtFloat, 8), &d, 8);  // both builds are little-endian
    return TRUE;
}

BOOL DecodeXlTablePoke(const BYTE* data, UINT size, VARTYPE target, VARIANT* result) {
    if (!result) return FALSE;
    VariantInit(result);
    if (!data) return FALSE;
    const UINT n = size < kXlTablePokeLimit ? size : kXlTablePokeLimit;
    if (n < kCellDataOffset || Get16(data) != kTdtTable) return FALSE;

    // The table's dimensions and the cell record's size field are not looked at: the
    // first cell always sits at offset 8, and only it is taken.
    const BYTE* cell = data + kCellDataOffset;
    const UINT room = n - kCellDataOffset;
    VARIANT value;
    VariantInit(&value);
    switch (static_cast<SHORT>(Get16(data + kCellTypeOffset))) {
        case kTdtFloat:
            if (room < 8) return FALSE;
            value.vt = VT_R8;
            std::memcpy(&value.dblVal, cell, 8);
            break;
        case kTdtString: {
            if (room < 1 || room - 1 < cell[0]) return FALSE;
            BSTR text = BstrFromAnsi(reinterpret_cast<const char*>(cell + 1), cell[0]);
            if (!text && cell[0] != 0) return FALSE;
            value.vt = VT_BSTR;
            value.bstrVal = text;
            break;
        }
        case kTdtBool:
            if (room < 2) return FALSE;
            value.vt = VT_BOOL;
            value.boolVal = Get16(cell) != 0 ? 1 : 0;  // 1, not VARIANT_TRUE: an integer item receives 1
            break;
        case kTdtInt:
            if (room < 2) return FALSE;
            value.vt = VT_I2;
            value.iVal = static_cast<SHORT>(Get16(cell));
            break;
        default:
            return FALSE;
    }
    if (target == VT_EMPTY) {
        // The item has no value yet: the server gets the cell in its own kind to convert.
        if (value.vt == VT_I2) value.dblVal = value.iVal, value.vt = VT_R8;
        if (value.vt == VT_BOOL && value.boolVal) value.boolVal = VARIANT_TRUE;
        *result = value;
        return TRUE;
    }
    return ConvertPokedValue(&value, target, result);
}

BOOL ConvertPokedValue(VARIANT* value, VARTYPE target, VARIANT* result) {
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeType(&converted, value, 0, target);
    VariantClear(value);
    if (FAILED(hr)) return FALSE;
    *result = converted;
    return TRUE;
}
