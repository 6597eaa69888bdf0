// Pokes arbitrary blocks at the XlTable and CF_TEXT decoders for every value type an item
// can have, then encodes and displays whatever they accepted. Checks that an encoded block
// is one of the three forms with consistent sizes, that a CF_TEXT block is one text with
// its zero byte at the end, and that the display text fits its buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <string>

#include "dde/TextValue.h"
#include "dde/XlTable.h"
#include "ui/ValueText.h"
#include "variant/holder.h"

namespace {

const VARTYPE kTargets[] = {VT_EMPTY, VT_NULL,    VT_I2, VT_I4,  VT_R4,  VT_R8,  VT_CY, VT_DATE, VT_BSTR, VT_ERROR,
                            VT_BOOL,  VT_DECIMAL, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8,  VT_INT,  VT_UINT};

void CheckBlock(const XlTableBlock& block) {
    const BYTE* b = block.bytes;
    if (b[0] != 0x10 || b[1] != 0 || b[2] != 4 || b[4] != 1 || b[6] != 1) __builtin_trap();
    UINT cellSize = b[10] | (b[11] << 8);
    switch (b[8]) {
        case 1:
            if (block.size != 20 || cellSize != 8) __builtin_trap();
            break;
        case 3:
            if (block.size != 14 || cellSize != 2 || b[13] != 0 || b[12] > 1) __builtin_trap();
            break;
        case 2:
            if (block.size != 13u + b[12] || cellSize != 1u + b[12]) __builtin_trap();
            break;
        default:
            __builtin_trap();
    }
}

// An accepted value has the item's type (its own kind for an item without a value) and
// encodes into well-formed blocks.
void CheckValue(const VARIANT& value, VARTYPE target) {
    if (target == VT_EMPTY ? value.vt != VT_R8 && value.vt != VT_BOOL && value.vt != VT_BSTR : value.vt != target)
        __builtin_trap();
    XlTableBlock block;
    if (EncodeXlTableValue(value, &block)) CheckBlock(block);
    std::string text;
    if (FormatTextValue(value, &text) && (text.empty() || text.find('\0') != text.size() - 1)) __builtin_trap();
    if (FormatVariant(value).GetLength() >= kValueTextSize) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const UINT length = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<UINT>(size);
    for (auto decode : {DecodeXlTablePoke, DecodeTextPoke}) {
        for (VARTYPE target : kTargets) {
            CVariant value;
            if (decode(data, length, target, value.Get()))
                CheckValue(*value, target);
            else if (value->vt != VT_EMPTY)
                __builtin_trap();  // a refusal leaves nothing behind
        }
    }
    return 0;
}
