#pragma once
// Conversions between the UTF-16 text inside VT_BSTR values and the program's 8-bit
// texts (the Windows ANSI code page; Latin-1 in the host build). What the code page
// cannot show becomes its default character ('?' in the single-byte code pages).
#include <cstddef>
#include <string>

#include "variant/variant.h"

// `length` code units of `s` as 8-bit text; embedded NULs are kept. A null `s` gives "".
std::string AnsiFromWide(const OLECHAR* s, size_t length);

// A new BSTR of `length` code units made from the 8-bit characters of `s` (NULs kept),
// or null when out of memory. The caller frees it with SysFreeString.
BSTR BstrFromAnsi(const char* s, size_t length);

// How a UTF-16 text is to be converted into a code page. Windows refuses the whole
// conversion (ERROR_INVALID_FLAGS / ERROR_INVALID_PARAMETER) when WC_NO_BEST_FIT_CHARS
// or a default character is passed for UTF-8, UTF-7, GB18030 and the other code pages
// it lists for WideCharToMultiByte; those get neither. Every other code page gets both,
// so an unknown character shows as '?' rather than as a look-alike.
struct WideToAnsiRules {
    bool noBestFit;    // pass WC_NO_BEST_FIT_CHARS
    bool defaultChar;  // pass "?" as the default character
};
WideToAnsiRules WideToAnsiRulesFor(unsigned codePage);
