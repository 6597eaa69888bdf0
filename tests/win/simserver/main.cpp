// Test runner: the main thread is a single-threaded apartment that pumps messages while
// tests wait, so the server's callbacks reach it (as they would reach a GUI client).
#include <gtest/gtest.h>

#include "sim_client.h"

#include <string>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IDENTIFY, nullptr,
                         EOAC_NONE, nullptr);
    if (argc == 2 && std::string(argv[1]) == simtest::kOrphanClientArg) simtest::RunOrphanClient();  // does not return
    const int rc = RUN_ALL_TESTS();
    simtest::KeepAlive::release();  // the server ends once this last reference goes
    CoUninitialize();
    return rc;
}
