// app_tests: gtest's main, plus two child modes:
//   app_tests.exe --save-loop <path>   saves two configurations over <path> in turns, forever
//   app_tests.exe --opc-load           binds KOBRIX2.dll beside itself (see opc_library_test)
#include <gtest/gtest.h>

#include <cstring>

int RunSaveLoop(const char* path);  // config_test.cpp
int RunOpcLoad();                   // opc_library_test.cpp

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-loop") == 0) return RunSaveLoop(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "--opc-load") == 0) return RunOpcLoad();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
