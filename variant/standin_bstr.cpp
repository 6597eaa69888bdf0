// Host stand-in: BSTR allocation. A BSTR points just past a 32-bit byte length and is
// followed by a NUL code unit, like the real one, so SysStringByteLen and code that reads
// the length prefix behave the same.
#include "variant/standin.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(DWORD);

// Allocates room for `bytes` bytes of text plus a terminating NUL code unit.
BSTR AllocateBytes(size_t bytes) {
    if (bytes > 0x7FFFFFF0u) return nullptr;  // the prefix is 32 bits, keep clear of its edge
    size_t total = kPrefix + bytes + sizeof(OLECHAR) + (bytes & 1);
    auto* block = static_cast<unsigned char*>(std::malloc(total));
    if (!block) return nullptr;
    DWORD length = static_cast<DWORD>(bytes);
    std::memcpy(block, &length, kPrefix);
    std::memset(block + kPrefix + bytes, 0, total - kPrefix - bytes);
    return reinterpret_cast<BSTR>(block + kPrefix);
}

}  // namespace

BSTR SysAllocStringByteLen(const char* psz, UINT len) {
    BSTR result = AllocateBytes(len);
    if (result && psz) std::memcpy(result, psz, len);
    return result;
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
    if (cch > 0x3FFFFFF0u) return nullptr;
    BSTR result = AllocateBytes(static_cast<size_t>(cch) * sizeof(OLECHAR));
    if (result && pch) std::memcpy(result, pch, static_cast<size_t>(cch) * sizeof(OLECHAR));
    return result;
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    size_t n = 0;
    while (psz[n]) ++n;
    if (n > 0x3FFFFFF0u) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(n));
}

void SysFreeString(BSTR bstr) {
    if (bstr) std::free(reinterpret_cast<unsigned char*>(bstr) - kPrefix);
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    DWORD length;
    std::memcpy(&length, reinterpret_cast<unsigned char*>(bstr) - kPrefix, kPrefix);
    return length;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }
