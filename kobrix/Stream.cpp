// The block: OPCGROUPHEADER, dwItemCount OPCITEMHEADER1, then each value at its item's
// dwValueOffset: a VARIANT of a plain scalar type; a VT_BSTR's VARIANT is followed by a
// DWORD byte count and the UTF-16 characters (its pointer field is meaningless here).
// Every length and offset is checked against the block (and the header's own dwSize):
// an item that points outside, has another type or an odd or overlong text is dropped.
#include "kobrix/Stream.h"

#include "opcda.h"

#include <cstring>

namespace kobrix {

namespace {

static_assert(sizeof(OPCGROUPHEADER) == 20, "OPCGROUPHEADER layout");
static_assert(sizeof(OPCITEMHEADER1) == 20, "OPCITEMHEADER1 layout");

bool PlainScalar(VARTYPE vt) {
    static const VARTYPE kPlain[] = {VT_EMPTY, VT_I1,   VT_UI1, VT_I2, VT_UI2, VT_I4,   VT_UI4,  VT_I8,   VT_UI8,
                                     VT_INT,   VT_UINT, VT_R4,  VT_R8, VT_CY,  VT_DATE, VT_BOOL, VT_ERROR};
    for (VARTYPE plain : kPlain)
        if (vt == plain) return true;
    return false;
}

// The value at `offset`, copied out; false when it does not fit or is not allowed.
bool ReadValue(const BYTE* data, size_t end, size_t offset, VARIANT& out) {
    if (offset > end || end - offset < sizeof(VARIANT)) return false;
    VARIANT raw;
    std::memcpy(&raw, data + offset, sizeof raw);
    if (PlainScalar(raw.vt)) {
        out = raw;
        return true;
    }
    if (raw.vt != VT_BSTR) return false;
    size_t at = offset + sizeof(VARIANT);
    DWORD bytes = 0;
    if (end - at < sizeof bytes) return false;
    std::memcpy(&bytes, data + at, sizeof bytes);
    at += sizeof bytes;
    if (bytes % sizeof(wchar_t) != 0 || bytes > end - at) return false;
    BSTR text = SysAllocStringLen(nullptr, bytes / sizeof(wchar_t));
    if (!text) return false;
    std::memcpy(text, data + at, bytes);
    VariantInit(&out);
    out.vt = VT_BSTR;
    out.bstrVal = text;
    return true;
}

}  // namespace

int DecodeDataTime(const BYTE* data, size_t size, const StreamItemProc& each) {
    if (!data || size < sizeof(OPCGROUPHEADER)) return -1;
    OPCGROUPHEADER group;
    std::memcpy(&group, data, sizeof group);
    if (group.dwSize < sizeof group || group.dwSize > size) return -1;
    const size_t end = group.dwSize;
    if (group.dwItemCount > (end - sizeof group) / sizeof(OPCITEMHEADER1)) return -1;
    const size_t valuesStart = sizeof group + group.dwItemCount * sizeof(OPCITEMHEADER1);
    int dropped = 0;
    for (DWORD i = 0; i < group.dwItemCount; ++i) {
        OPCITEMHEADER1 item;
        std::memcpy(&item, data + sizeof group + i * sizeof item, sizeof item);
        VARIANT value;
        if (item.dwValueOffset < valuesStart || !ReadValue(data, end, item.dwValueOffset, value)) {
            ++dropped;
            continue;
        }
        try {
            each(item.hClient, value, item.ftTimeStampItem, item.wQuality);
        } catch (...) {
            VariantClear(&value);
            throw;
        }
        VariantClear(&value);
    }
    return dropped;
}

}  // namespace kobrix
