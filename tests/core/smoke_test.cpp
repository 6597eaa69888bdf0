#include <gtest/gtest.h>
#include <cstring>

// Placeholder until the portable modules bring their own tests.
TEST(Build, CompilesAndRuns) { EXPECT_EQ(std::strlen("Quorvane"), 8u); }
