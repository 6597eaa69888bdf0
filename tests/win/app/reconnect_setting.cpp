// The in-process application reads its settings where the program does; automatic
// reconnect stays off for this suite (tests/win/support/settings.h).
#include "tests/win/app/app_env.h"
#include "tests/win/support/settings.h"

namespace {

class InProcessAutoReconnectOff : public qvtest::AutoReconnectOff {
  public:
    void SetUp() override {
        apptest::App().SetRegistryKey("Local AppWizard-Generated Applications");
        AutoReconnectOff::SetUp();
    }
};

::testing::Environment* const g_autoReconnectOff = ::testing::AddGlobalTestEnvironment(new InProcessAutoReconnectOff);

}  // namespace
