#pragma once
// Reading the DA 1.0 data blocks (format "OPCSTMFORMATDATATIME") a server hands to a group's
// IAdviseSink. The block comes from another process: nothing in it is trusted.
#include <windows.h>
#include <oleauto.h>

#include <functional>

namespace kobrix {

// One item of a block; the value is owned by the decoder and valid during the call only.
using StreamItemProc = std::function<void(DWORD hClient, const VARIANT& value, const FILETIME& time, WORD quality)>;

// Calls `each` for every well-formed item of the block in [data, data + size). Returns the
// number of items dropped as malformed, or -1 when the block as a whole is (then nothing
// is delivered).
int DecodeDataTime(const BYTE* data, size_t size, const StreamItemProc& each);

}  // namespace kobrix
