// Binding KOBRIX2.dll by export name: a copy of this test program runs in a folder with no
// library, with a DLL of that name that lacks the exports, and with the real library.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "opc/OpcLibrary.h"
#include "tests/win/support/folder.h"
#include "tests/win/support/process.h"

// The child: 1 bound; 0 not bound and a connect refused; 2 not bound but a connect made.
int RunOpcLoad() {
    if (OpcLoadLibrary()) return OpcIsLibraryLoaded() ? 1 : 3;
    return OpcConnectServer("", "Quorvane.Simulation.1", 0) == -1 && !OpcIsLibraryLoaded() ? 0 : 2;
}

namespace {

// Runs a copy of this program in dir (with library, or none) and answers its exit code.
DWORD RunCopyIn(const std::string& library) {
    qvtest::TempFolder dir;
    if (!library.empty() &&
        !::CopyFileA((qvtest::BinDir() + "\\" + library).c_str(), dir.File("KOBRIX2.dll").c_str(), FALSE))
        return 99;
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, sizeof exe);
    std::string copy = dir.File("app_tests.exe");
    if (!::CopyFileA(exe, copy.c_str(), FALSE)) return 99;
    qvtest::ChildProcess child;
    if (!child.Start(qvtest::QuoteArg(copy) + " --opc-load", "", false, nullptr)) return 98;
    return child.Wait(20000).value_or(97);  // the destructor ends a child that hangs
}

}  // namespace

TEST(OpcLibraryTest, OnlyALibraryWithAllEighteenExportsIsUsed) {
    EXPECT_EQ(RunCopyIn(""), 0u) << "no library";
    // Any DLL of ours that is not the OPC library will do as the impostor.
    EXPECT_EQ(RunCopyIn("QuorvaneOpcPS.dll"), 0u) << "a library without the exports";
    EXPECT_EQ(RunCopyIn("KOBRIX2.dll"), 1u) << "the real library";
}
