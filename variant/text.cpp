// 8-bit <-> UTF-16 text conversion. Windows: the ANSI code page, without best-fit
// substitutes, so an unknown character shows as '?' rather than a look-alike.
// Host: Latin-1, the code page whose characters are the first 256 code points.
#include "variant/text.h"

#include <climits>

#ifdef _WIN32

std::string AnsiFromWide(const OLECHAR* s, size_t length) {
  if (!s || length == 0 || length > INT_MAX) return std::string();
  const int count = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s, count, nullptr, 0, "?", nullptr);
  if (size <= 0) return std::string();
  std::string text(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, s, count, &text[0], size, "?", nullptr);
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
