#include "tests/win/support/process.h"
#include "tests/win/support/wait.h"

#include <chrono>
#include <cstdio>

namespace qvtest {

LineReader::LineReader(HANDLE readEnd) : pipe_(readEnd) {
    thread_ = CreateThread(nullptr, 0, &LineReader::ThreadMain, this, 0, nullptr);
}

LineReader::~LineReader() {
    if (thread_) {
        // The writer normally has ended; if a grandchild still holds the pipe, stop the read.
        if (WaitForSingleObject(thread_, 2000) != WAIT_OBJECT_0) {
            CancelSynchronousIo(thread_);
            WaitForSingleObject(thread_, INFINITE);
        }
        CloseHandle(thread_);
    }
    CloseHandle(pipe_);
}

DWORD WINAPI LineReader::ThreadMain(void* self) {
    static_cast<LineReader*>(self)->Run();
    return 0;
}

void LineReader::Run() {
    std::string partial;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(pipe_, buf, sizeof buf, &n, nullptr) && n > 0) {
        std::lock_guard<std::mutex> lock(mu_);
        partial.append(buf, n);
        for (size_t eol; (eol = partial.find('\n')) != std::string::npos; partial.erase(0, eol + 1))
            lines_.push_back(partial.substr(0, eol > 0 && partial[eol - 1] == '\r' ? eol - 1 : eol));
        cv_.notify_all();
    }
    std::lock_guard<std::mutex> lock(mu_);
    if (!partial.empty()) lines_.push_back(std::move(partial));
    ended_ = true;
    cv_.notify_all();
}

std::optional<std::string> LineReader::Next(DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !lines_.empty() || ended_; });
    if (lines_.empty()) return std::nullopt;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    return line;
}

bool LineReader::Ended() {
    std::lock_guard<std::mutex> lock(mu_);
    return ended_ && lines_.empty();
}

std::string LineReader::Rest() {
    std::lock_guard<std::mutex> lock(mu_);
    std::string all;
    for (const std::string& l : lines_) all += l + "\n";
    return all;
}

namespace {

// An inheritable write end for the child and a private read end for us.
bool MakePipe(HANDLE* readEnd, HANDLE* writeEnd) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!CreatePipe(readEnd, writeEnd, &sa, 0)) return false;
    SetHandleInformation(*readEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

std::string QuoteArg(const std::string& a) {
    if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
    std::string q = "\"";
    size_t backslashes = 0;
    for (char c : a) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            q.append(backslashes * 2 + 1, '\\');
        else
            q.append(backslashes, '\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, '\\');
    return q + "\"";
}

ChildProcess::~ChildProcess() {
    if (pi_.hProcess) {
        if (running()) Terminate();
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    // Readers end once the child's pipe ends are closed (process gone).
    out_.reset();
    err_.reset();
}

bool ChildProcess::Start(const std::string& commandLine, const std::string& workDir, bool capture, std::string* why) {
    // Without capture the child's standard handles all go to NUL.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE outRead = nullptr, errRead = nullptr, nul = nullptr;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    if (!capture) {
        nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING,
                          0, nullptr);
        si.hStdInput = si.hStdOutput = si.hStdError = nul;
    } else if (!MakePipe(&outRead, &si.hStdOutput) || !MakePipe(&errRead, &si.hStdError)) {
        if (why) *why = "CreatePipe failed";
        return false;
    }
    BOOL ok = FALSE;
    DWORD error = 0;
    // Wine now and then fails a start with ERROR_INTERNAL_ERROR: the new process ended in
    // Wine's own start-up, before any of its code ran (5 in 20,000 starts of an empty
    // program, docs/wine-notes.md). Nothing ran, so a second start is safe; it is said on
    // stderr, where the test's log keeps it.
    for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
        if (attempt > 0)
            std::fprintf(stderr, "note: Wine failed to start %s (error %lu); starting it again\n", commandLine.c_str(),
                         error);
        std::string cmd = commandLine;
        ok = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr,
                            workDir.empty() ? nullptr : workDir.c_str(), &si, &pi_);
        error = ok ? 0 : GetLastError();
        if (error != ERROR_INTERNAL_ERROR) break;
    }
    // Our copies of the child's ends must go, or the readers would never see the end.
    for (HANDLE h : {capture ? si.hStdOutput : nul, capture ? si.hStdError : nullptr})
        if (h) CloseHandle(h);
    if (ok && capture) {
        out_.reset(new LineReader(outRead));
        err_.reset(new LineReader(errRead));
    }
    if (ok) return true;
    for (HANDLE h : {outRead, errRead})
        if (h) CloseHandle(h);
    pi_ = PROCESS_INFORMATION{};
    if (why) *why = "CreateProcess failed (" + std::to_string(error) + "): " + commandLine;
    return false;
}

bool ChildProcess::running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> ChildProcess::Wait(DWORD timeoutMs) {
    if (!pi_.hProcess) return std::nullopt;
    if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

void ChildProcess::Terminate() {
    if (!running()) return;
    TerminateProcess(pi_.hProcess, 9);
    WaitForSingleObject(pi_.hProcess, 10000);
}

std::optional<std::string> ChildProcess::WaitLine(const std::string& prefix, DWORD timeoutMs) {
    if (!out_) return std::nullopt;
    // Serves this thread's messages meanwhile: a child's DDE connect broadcasts to every
    // top-level window, the test's own DDE windows included, and waits for their answers.
    std::optional<std::string> found;
    WaitUntil(
        [&] {
            while (auto line = out_->Next(0)) {
                if (line->compare(0, prefix.size(), prefix) == 0) {
                    found = std::move(line);
                    return true;
                }
            }
            return out_->Ended();
        },
        timeoutMs);
    return found;
}

}  // namespace qvtest
