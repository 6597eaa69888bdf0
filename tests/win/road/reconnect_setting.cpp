// Automatic reconnect stays off for this suite (tests/win/support/settings.h).
#include "tests/win/support/settings.h"

namespace {

::testing::Environment* const g_autoReconnectOff = ::testing::AddGlobalTestEnvironment(new qvtest::AutoReconnectOff);

}  // namespace
