#pragma once
// Run-time binding to KOBRIX2.dll by export name: the program (opc/OpcLibrary), the
// tool, the tests and the benchmarks all bind the library only through this.
#include "kobrix/kobrix2.h"

#include <string>

#include "win/ProgramFolder.h"

namespace kobrix {

// One pointer per export, named after the operation.
struct Table {
#define KOBRIX_MEMBER(op, name) PFN_##op op = nullptr;
    KOBRIX2_EXPORTS(KOBRIX_MEMBER)
#undef KOBRIX_MEMBER
};

// The library once bound; the DLL is freed with the object.
class Binding : public Table {
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
        // Only that copy: never one found along the search path.
        module_ = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module_) {
            error_ = "cannot load " + file + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
#define KOBRIX_RESOLVE(op, name)                                                             \
    op = reinterpret_cast<PFN_##op>(reinterpret_cast<void*>(GetProcAddress(module_, name))); \
    if (!op) {                                                                               \
        error_ = std::string("export ") + name + " missing in " + file;                      \
        return false;                                                                        \
    }
        KOBRIX2_EXPORTS(KOBRIX_RESOLVE)
#undef KOBRIX_RESOLVE
        return true;
    }

    const std::string& Error() const { return error_; }

    static std::string BesideProgram(const char* file) { return ProgramFolder() + file; }

  private:
    HMODULE module_ = nullptr;
    std::string error_;
};

}  // namespace kobrix
