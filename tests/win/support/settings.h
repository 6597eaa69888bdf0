#pragma once
// The program's settings in the registry, and the suites' rule for automatic reconnect:
// a suite runs with it off (the tests of start-up failure boxes and of the manual
// reconnect were written for that), and a test that wants it on holds an AutoReconnectOn.
// Tests run one after the other, so the one setting is never wanted both ways at once.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

namespace qvtest {

// HKCU-relative key of the program's "Settings" section (registry key and application
// name as the program sets them).
constexpr char kProgramSettingsKey[] = "Software\\Local AppWizard-Generated Applications\\Quorvane\\Settings";
constexpr char kAutoReconnect[] = "AutoReconnect";

std::optional<DWORD> ProgramSetting(const char* entry);
bool SetProgramSetting(const char* entry, DWORD value);
void DeleteProgramSetting(const char* entry);

// A global environment: automatic reconnect off for the suite's run, the entry removed
// at its end.
class AutoReconnectOff : public ::testing::Environment {
  public:
    void SetUp() override { SetProgramSetting(kAutoReconnect, 0); }
    void TearDown() override { DeleteProgramSetting(kAutoReconnect); }
};

// On for one test's scope, off again after it.
class AutoReconnectOn {
  public:
    AutoReconnectOn() { SetProgramSetting(kAutoReconnect, 1); }
    ~AutoReconnectOn() { SetProgramSetting(kAutoReconnect, 0); }
    AutoReconnectOn(const AutoReconnectOn&) = delete;
    AutoReconnectOn& operator=(const AutoReconnectOn&) = delete;
};

}  // namespace qvtest
