#pragma once
// A value on the DDE link: a one-row, one-column table in the XlTable layout.
//
// A block is a table record (type 0x0010, size 4, rows, columns) followed by one cell
// record (type, size, data); all fields little-endian. Values go out as a number (8-byte
// double), a boolean (u16 0 or 1) or a text (count byte and up to 255 8-bit characters);
// pokes may also carry a 16-bit integer. Both operations are pure: no DDE, no windows.
#include "variant/variant.h"

// XlTable record types.
enum : WORD {
    kTdtTable = 0x0010,
    kTdtFloat = 0x0001,
    kTdtString = 0x0002,
    kTdtBool = 0x0003,
    kTdtInt = 0x0006,
};

const UINT kXlTableMaxText = 255;    // the count byte's limit
const UINT kXlTablePokeLimit = 800;  // bytes of a poked block that are looked at

struct XlTableBlock {
    BYTE bytes[13 + kXlTableMaxText];
    UINT size;
};

// Encodes value as the block that answers an advise. VT_BSTR goes out as text (converted
// to the ANSI code page, cut at an embedded NUL and at 255 characters), VT_BOOL as a
// boolean, everything else as the number that VariantChangeType gives for VT_R8.
// FALSE (and block->size 0) when the value has no number form (VT_NULL, arrays, ...).
BOOL EncodeXlTableValue(const VARIANT& value, XlTableBlock* block);

// Decodes the first cell of a poked block and converts it to target with
// VariantChangeType. Only the first kXlTablePokeLimit bytes are looked at. Refused
// (FALSE): a block that does not begin with a table record, a cell type other than
// number, text, boolean or integer, a block too short for the cell's data or for its
// text, or a value that cannot be converted to target. A target of VT_EMPTY (an item
// without a value yet) takes the cell as it is: a number or integer as VT_R8, a text as
// VT_BSTR, a boolean as VT_BOOL. *result is set to VT_EMPTY on
// entry (its old content is not released); on success the caller owns the value.
BOOL DecodeXlTablePoke(const BYTE* data, UINT size, VARTYPE target, VARIANT* result);

// Converts a decoded poke to the item's type; value is cleared either way. FALSE when the
// value does not convert.
BOOL ConvertPokedValue(VARIANT* value, VARTYPE target, VARIANT* result);
