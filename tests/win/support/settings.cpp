#include "tests/win/support/settings.h"

namespace qvtest {

std::optional<DWORD> ProgramSetting(const char* entry) {
    DWORD value = 0, type = 0, size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, kProgramSettingsKey, entry, RRF_RT_REG_DWORD, &type, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool SetProgramSetting(const char* entry, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok =
        RegSetValueExA(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

void DeleteProgramSetting(const char* entry) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, entry);
    RegCloseKey(key);
}

}  // namespace qvtest
