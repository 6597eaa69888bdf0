#include "tests/win/support/folder.h"

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace qvtest {

std::string BinDir() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (in) bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    return out.write(bytes.data(), std::streamsize(bytes.size())) && (out.close(), !out.fail());
}

TempFolder::TempFolder(const std::string& tag) {
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[MAX_PATH];
        std::snprintf(name, sizeof name, "%s%s-%lu-%ld-%lu", base, tag.c_str(), GetCurrentProcessId(),
                      InterlockedIncrement(&counter), GetTickCount());
        if (CreateDirectoryA(name, nullptr)) {
            path_ = name;
            return;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;  // a file still held open stays behind in %TEMP%
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

AppFolder::AppFolder() : TempFolder("quorvane") {}

bool AppFolder::Prepare(std::string* why) {
    if (!ok()) {
        if (why) *why = "cannot create a temporary folder";
        return false;
    }
    for (const char* name : {"quorvane.exe", "KOBRIX2.dll"}) {
        const std::string from = BinDir() + "\\" + name;
        if (!CopyFileA(from.c_str(), File(name).c_str(), FALSE)) {
            if (why) *why = "cannot copy " + from + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    return true;
}

std::string ConfigText(const std::vector<ConfigConnection>& connections, const std::string& fileRev) {
    std::string t;
    auto put = [&](const char* key, const std::string& v) { t += std::string(key) + " = " + v + "\r\n"; };
    put("FileRev", fileRev);
    put("Number Of Connections", std::to_string(connections.size()));
    for (const ConfigConnection& c : connections) {
        char deadband[64];
        std::snprintf(deadband, sizeof deadband, "%f", double(c.deadband));
        put("UpdateRate", std::to_string(c.updateRate));
        put("Deadband", deadband);
        put("MachineName", c.machine);
        put("ServerName", c.server);
        put("Alias", c.alias);
        put("Number Of Items", std::to_string(c.items.size()));
        for (const std::string& item : c.items) put("TagName", item);
    }
    return t;
}

}  // namespace qvtest
