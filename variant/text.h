#pragma once
// Conversions between the UTF-16 text inside VT_BSTR values and the program's 8-bit
// texts (the Windows ANSI code page; Latin-1 in the host build). One 8-bit character
// per UTF-16 code unit in both directions; what the code page cannot show becomes '?'.
#include <cstddef>
#include <string>

#include "variant/variant.h"

// `length` code units of `s` as 8-bit text; embedded NULs are kept. A null `s` gives "".
std::string AnsiFromWide(const OLECHAR* s, size_t length);

// A new BSTR of `length` code units made from the 8-bit characters of `s` (NULs kept),
// or null when out of memory. The caller frees it with SysFreeString.
BSTR BstrFromAnsi(const char* s, size_t length);
