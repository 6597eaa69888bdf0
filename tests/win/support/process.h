#pragma once
// A child process started by a test, with its standard output (and error) read through
// pipes line by line. The test owns the process: the destructor ends it (by its own
// handle, never by name) if it still runs, so a failing test leaves nothing behind.
//
// Threading: one reader thread per captured pipe fills a line queue; the test thread
// takes lines with a timeout. Everything else belongs to the test thread.
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

// Lines read from one pipe, available to the test thread with a timeout.
class LineReader {
  public:
    explicit LineReader(HANDLE readEnd);  // takes ownership of the handle
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line (without CR LF), or nothing when timeoutMs passes or the pipe ended.
    std::optional<std::string> Next(DWORD timeoutMs);
    // True once the writer closed its end and every line was taken.
    bool Ended();
    // Everything read so far and not taken, joined with '\n' (for failure messages).
    std::string Rest();

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    HANDLE pipe_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::string> lines_;
    bool ended_ = false;
    HANDLE thread_ = nullptr;  // a Win32 thread, so that its blocking read can be cancelled
};

class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `commandLine` in `workDir` (empty: the current one). With capture, stdout
    // and stderr come through pipes; otherwise they go to NUL. Returns false with the
    // reason in *why.
    bool Start(const std::string& commandLine, const std::string& workDir, bool capture, std::string* why);

    bool running() const;
    DWORD pid() const { return pi_.dwProcessId; }
    HANDLE handle() const { return pi_.hProcess; }

    // Waits for the exit; the exit code, or nothing on timeout.
    std::optional<DWORD> Wait(DWORD timeoutMs);
    // Ends the process (own handle) and waits for it.
    void Terminate();

    // Captured output (null without capture).
    LineReader* out() { return out_.get(); }
    LineReader* err() { return err_.get(); }
    // Takes stdout lines until one starts with `prefix`; returns it, or nothing on timeout.
    std::optional<std::string> WaitLine(const std::string& prefix, DWORD timeoutMs);

  private:
    PROCESS_INFORMATION pi_{};
    std::unique_ptr<LineReader> out_, err_;
};

// Quotes one argument for CreateProcess's command line.
std::string QuoteArg(const std::string& arg);

}  // namespace qvtest
