// Binding KOBRIX2.dll by export name: a copy of this test program runs in a folder with no
// library, with a DLL of that name that lacks the exports, and with the real library.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "opc/OpcLibrary.h"
#include "tests/win/app/app_env.h"

using namespace apptest;

int RunOpcLoad() {
    if (OpcLoadLibrary()) return 1;
    char name[200] = "unchanged";
    WORD ns = 77;
    VARIANT v;
    ::VariantInit(&v);
    bool failed = OpcEnumerateServers(1, "") == 0 && OpcGetServerName(0, name, sizeof name) == 0 && name[0] == '\0' &&
                  OpcConnectServer("", "Quorvane.Simulation.1", 0) == -1 && OpcAddGroup(1, "Group 1", nullptr, nullptr) == -1 &&
                  OpcAddItem(1, 1, "x") == -1 && OpcWriteItem(1, 1, 1, &v, 0) == 0 && OpcSetBrowsePosition(1, "") == 0 &&
                  OpcBrowseNames(1, 2) == 0 && OpcGetBrowseName(1, 0, name, sizeof name) == 0 &&
                  OpcGetItemId(1, "x", name, sizeof name) == 0 && OpcGetNamespaceType(1, &ns) == 0;
    OpcRemoveItem(-1, -1, -1);  // and these do nothing, without a crash
    OpcRemoveGroup(-1, -1);
    OpcDisconnectServer(-1);
    OpcRefreshGroup(-1, -1, 0);
    OpcSetDataChangeCallback(-1, nullptr);
    OpcSetShutdownCallback(-1, nullptr);
    OpcSetLibraryCallback(nullptr);
    return failed ? 0 : 2;
}

namespace {

std::string BinDir() {
    char exe[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string path(exe, n);
    return path.substr(0, path.rfind('\\') + 1);
}

// Runs a copy of this program in dir with --opc-load; answers its exit code.
DWORD RunCopyIn(const TempDir& dir) {
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string copy = dir.Path("app_tests.exe");
    if (!::CopyFileA(exe, copy.c_str(), FALSE)) return 99;
    std::string cmd = "\"" + copy + "\" --opc-load";
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 98;
    DWORD code = 97;
    if (::WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
    else ::TerminateProcess(pi.hProcess, 96);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::DeleteFileA(copy.c_str());
    return code;
}

}  // namespace

TEST(OpcLibraryTest, WithoutTheLibraryEveryOperationAnswersFailure) {
    TempDir dir;
    EXPECT_EQ(RunCopyIn(dir), 0u);
}

TEST(OpcLibraryTest, ALibraryWithoutTheExportsIsNotUsedAtAll) {
    // Any DLL of ours that is not the OPC library will do as the impostor.
    std::string impostor = BinDir() + "QuorvaneOpcPS.dll";
    if (::GetFileAttributesA(impostor.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "QuorvaneOpcPS.dll not built";
    TempDir dir;
    ASSERT_TRUE(::CopyFileA(impostor.c_str(), dir.Path("KOBRIX2.dll").c_str(), FALSE));
    EXPECT_EQ(RunCopyIn(dir), 0u);
}

TEST(OpcLibraryTest, TheRealLibraryBindsAllEighteenOperations) {
    std::string real = BinDir() + "KOBRIX2.dll";
    if (::GetFileAttributesA(real.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "KOBRIX2.dll not built";
    TempDir dir;
    ASSERT_TRUE(::CopyFileA(real.c_str(), dir.Path("KOBRIX2.dll").c_str(), FALSE));
    EXPECT_EQ(RunCopyIn(dir), 1u);
}
