#include "tests/win/support/tools.h"

#include "tests/win/support/folder.h"
#include "tests/win/support/wait.h"

namespace qvtest {

std::string ToolRun::Describe() const {
    std::string d = started ? (finished ? "exit code " + std::to_string(exitCode) : std::string("killed at timeout"))
                            : std::string("not started");
    d += "\nstdout:\n";
    for (const std::string& l : out) d += "  " + l + "\n";
    d += "stderr:\n" + err;
    return d;
}

namespace {

// The command line "<bin>\<tool>.exe arg ...", each argument quoted as needed.
std::string ToolCommand(const std::string& tool, const std::vector<std::string>& args) {
    std::string cmd = QuoteArg(BinDir() + "\\" + tool + ".exe");
    for (const std::string& a : args) cmd += " " + QuoteArg(a);
    return cmd;
}

}  // namespace

ToolRun RunTool(const std::string& tool, const std::vector<std::string>& args, DWORD timeoutMs) {
    ToolRun run;
    ChildProcess p;
    std::string why;
    if (!p.Start(ToolCommand(tool, args), std::string(), true, &why)) {
        run.err = why;
        return run;
    }
    run.started = true;
    // The test thread keeps serving its messages meanwhile: a COM client of the test (a
    // connection kept open to the simulation server) that stopped pumping would stall the
    // server's callbacks to every client, the tool's included.
    WaitUntil([&] { return !p.running(); }, timeoutMs);
    auto code = p.Wait(0);
    if (!code) p.Terminate();
    run.finished = bool(code);
    if (code) run.exitCode = *code;
    // The pipes end with the process; take everything that was written.
    while (auto line = p.out()->Next(2000)) run.out.push_back(*line);
    while (auto line = p.err()->Next(2000)) run.err += *line + "\n";
    return run;
}

std::unique_ptr<ChildProcess> StartTool(const std::string& tool, const std::vector<std::string>& args,
                                        std::string* why) {
    std::unique_ptr<ChildProcess> p(new ChildProcess);
    if (!p->Start(ToolCommand(tool, args), std::string(), true, why)) return nullptr;
    return p;
}

}  // namespace qvtest
