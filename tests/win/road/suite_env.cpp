// The suite leaves no simulation server behind: the suites that run after it in the same
// Wine prefix would otherwise connect to a server on its way out.
#include <gtest/gtest.h>

#include "tests/win/road/road_env.h"

namespace {

class NoServerLeft : public ::testing::Environment {
  public:
    void TearDown() override { road::WaitForNoSimServer(15000); }
};

::testing::Environment* const g_noServerLeft = ::testing::AddGlobalTestEnvironment(new NoServerLeft);

}  // namespace
