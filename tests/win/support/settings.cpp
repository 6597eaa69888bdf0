#include "tests/win/support/settings.h"

namespace qvtest {

std::optional<DWORD> ProgramSetting(const char* entry) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kProgramSettingsKey, entry, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool SetProgramSetting(const char* entry, DWORD value) {
    return RegSetKeyValueA(HKEY_CURRENT_USER, kProgramSettingsKey, entry, REG_DWORD, &value, sizeof value) ==
           ERROR_SUCCESS;
}

void DeleteProgramSetting(const char* entry) { RegDeleteKeyValueA(HKEY_CURRENT_USER, kProgramSettingsKey, entry); }

}  // namespace qvtest
