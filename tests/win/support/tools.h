#pragma once
// Running the command-line tools that sit beside the tests in bin/ (qvdde, qvopc):
// to completion with their output collected, or in the background as a ChildProcess.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/win/support/process.h"

namespace qvtest {

struct ToolRun {
    bool started = false;
    bool finished = false;  // false: killed at the timeout
    DWORD exitCode = DWORD(-1);  // only a finished run has a real one
    std::vector<std::string> out;  // stdout lines
    std::string err;               // stderr, joined
    std::string Describe() const;  // for failure messages
};

// Runs the tool to its end (killed after timeoutMs), serving this thread's messages meanwhile.
ToolRun RunTool(const std::string& tool, const std::vector<std::string>& args, DWORD timeoutMs = 30000);

// Starts the tool with captured output and leaves it running.
std::unique_ptr<ChildProcess> StartTool(const std::string& tool, const std::vector<std::string>& args,
                                        std::string* why);

}  // namespace qvtest
