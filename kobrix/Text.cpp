#include "kobrix/Text.h"

#include <windows.h>

#include <cstring>

namespace kobrix {

std::wstring Widen(const char* ansi) {
    if (!ansi || !*ansi) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi, -1, &w[0], n);
    w.resize(static_cast<size_t>(n - 1));
    return w;
}

std::string Narrow(const wchar_t* wide) {
    if (!wide || !*wide) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string a(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, -1, &a[0], n, nullptr, nullptr);
    a.resize(static_cast<size_t>(n - 1));
    return a;
}

int CopyOut(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    if (text.size() >= static_cast<size_t>(size)) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
}

}  // namespace kobrix
