// app_tests: gtest's main, plus one child mode used by the save-crash test:
//   app_tests.exe --save-loop <path>   saves two configurations over <path> in turns, forever
#include <gtest/gtest.h>

#include <cstring>

int RunSaveLoop(const char* path);  // config_test.cpp

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-loop") == 0) return RunSaveLoop(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
