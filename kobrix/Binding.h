#pragma once
// Run-time binding to KOBRIX2.dll by export name, the way the program binds to it: the
// tool, the tests and the benchmark use the library only through this.
#include "kobrix/kobrix2.h"

#include <string>

namespace kobrix {

class Binding {
public:
    Binding() = default;
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;
    ~Binding() {
        if (module_) FreeLibrary(module_);
    }

    // Loads the DLL (by default KOBRIX2.dll beside the running program) and resolves every
    // export. False, with a reason in Error(), if the DLL or any export is missing.
    bool Load(const std::string& path = std::string()) {
        std::string file = path.empty() ? BesideProgram("KOBRIX2.dll") : path;
        module_ = LoadLibraryA(file.c_str());
        if (!module_) {
            error_ = "cannot load " + file + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
#define KOBRIX_RESOLVE(op, name)                                                 \
    op = reinterpret_cast<PFN_##op>(reinterpret_cast<void*>(GetProcAddress(module_, name))); \
    if (!op) {                                                                   \
        error_ = std::string("export ") + name + " missing in " + file;          \
        return false;                                                            \
    }
        KOBRIX2_EXPORTS(KOBRIX_RESOLVE)
#undef KOBRIX_RESOLVE
        return true;
    }

    const std::string& Error() const { return error_; }

    static std::string BesideProgram(const char* file) {
        char self[MAX_PATH] = {};
        DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string dir(self, n);
        size_t slash = dir.find_last_of("\\/");
        dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
        return dir + file;
    }

#define KOBRIX_MEMBER(op, name) PFN_##op op = nullptr;
    KOBRIX2_EXPORTS(KOBRIX_MEMBER)
#undef KOBRIX_MEMBER

private:
    HMODULE module_ = nullptr;
    std::string error_;
};

}  // namespace kobrix
