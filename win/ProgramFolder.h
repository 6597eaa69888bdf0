#pragma once
// The folder of the running program, with its trailing backslash ("" if unknown): where
// the program keeps its library, its configuration and its guide. The one helper for it.
#include <windows.h>

#include <string>

inline std::string ProgramFolder() {
    char path[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path - 1);
    std::string full(path, n);
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}
