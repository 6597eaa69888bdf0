// kobrix_tests: KOBRIX2.dll bound by export name, against the simulation server out of process.
// The main thread is the single STA the library belongs to, set up as the program sets up its own.
#include "Harness.h"

#include <objbase.h>

#include <cstdio>

namespace {
struct KeepServer : testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { kbt::EnsureKeeper(); }
};
}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new KeepServer);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_IMP_LEVEL_IDENTIFY, nullptr,
                         EOAC_NONE, nullptr);
    if (!kbt::Opc().Load()) {
        std::fprintf(stderr, "kobrix_tests: %s\n", kbt::Opc().Error().c_str());
        return 1;
    }
    kbt::g_serversAtStart = kbt::ServerProcesses();  // not ours to stop
    int rc = RUN_ALL_TESTS();
    kbt::DropKeeper();
    CoUninitialize();
    return rc;
}
