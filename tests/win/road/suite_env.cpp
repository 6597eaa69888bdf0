// The suite keeps automatic reconnect off (tests/win/support/settings.h) and leaves no
// simulation server behind: the suites that run after it in the same Wine prefix would
// otherwise connect to a server on its way out.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"
#include "tests/win/support/settings.h"

namespace {

class NoServerLeft : public ::testing::Environment {
  public:
    void TearDown() override { road::WaitForNoSimServer(15000); }
};

::testing::Environment* const g_autoReconnectOff = ::testing::AddGlobalTestEnvironment(new qvtest::AutoReconnectOff);
::testing::Environment* const g_noServerLeft = ::testing::AddGlobalTestEnvironment(new NoServerLeft);

}  // namespace
