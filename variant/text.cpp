// 8-bit <-> UTF-16 text conversion. Windows: the ANSI code page, with the flags that
// code page accepts. Host: Latin-1, the code page whose characters are the first 256
// code points.
#include "variant/text.h"

#include <climits>

WideToAnsiRules WideToAnsiRulesFor(unsigned codePage) {
    const bool plain = codePage == 42 || (codePage >= 50220 && codePage <= 50229) || codePage == 52936 ||
                       codePage == 54936 || (codePage >= 57002 && codePage <= 57011) || codePage == 65000 ||
                       codePage == 65001;
    return plain ? WideToAnsiRules{false, false} : WideToAnsiRules{true, true};
}

#ifdef _WIN32

std::string AnsiFromWide(const OLECHAR* s, size_t length) {
    if (!s || length == 0 || length > INT_MAX) return std::string();
    const int count = static_cast<int>(length);
    const UINT codePage = GetACP();
    const WideToAnsiRules rules = WideToAnsiRulesFor(codePage);
    const DWORD flags = rules.noBestFit ? WC_NO_BEST_FIT_CHARS : 0;
    const char* defaultChar = rules.defaultChar ? "?" : nullptr;
    const int size = WideCharToMultiByte(codePage, flags, s, count, nullptr, 0, defaultChar, nullptr);
    if (size <= 0) return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, flags, s, count, &text[0], size, defaultChar, nullptr);
    return text;
}

BSTR BstrFromAnsi(const char* s, size_t length) {
    if (length > INT_MAX / 2) return nullptr;
    if (!s || length == 0) return SysAllocStringLen(nullptr, 0);
    const int count = static_cast<int>(length);
    const int size = MultiByteToWideChar(CP_ACP, 0, s, count, nullptr, 0);
    if (size <= 0) return nullptr;
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(size));
    if (text) MultiByteToWideChar(CP_ACP, 0, s, count, text, size);
    return text;
}

#else

std::string AnsiFromWide(const OLECHAR* s, size_t length) {
    if (!s) return std::string();
    std::string text(length, '\0');
    for (size_t i = 0; i < length; ++i) text[i] = s[i] <= 0xFF ? static_cast<char>(s[i]) : '?';
    return text;
}

BSTR BstrFromAnsi(const char* s, size_t length) {
    if (length > 0x3FFFFFF0u) return nullptr;
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!text) return nullptr;
    for (size_t i = 0; i < length; ++i) text[i] = static_cast<unsigned char>(s[i]);
    return text;
}

#endif
