// qvclose: asks a running Quorvane to close as the user would (WM_CLOSE to its main window),
// so that it saves its configuration, and waits for the process to end.
// Usage: qvclose [window title, default "Quorvane"] [timeout in ms, default 10000]
// Exit code: 0 closed, 1 no such window, 2 still running after the timeout.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* title = argc > 1 ? argv[1] : "Quorvane";
    DWORD timeout = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 10000;
    HWND hWnd = ::FindWindowA(nullptr, title);
    if (hWnd == nullptr) {
        std::fprintf(stderr, "qvclose: no window titled \"%s\"\n", title);
        return 1;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    HANDLE hProcess = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    DWORD waited = hProcess != nullptr ? ::WaitForSingleObject(hProcess, timeout) : WAIT_FAILED;
    if (hProcess != nullptr) ::CloseHandle(hProcess);
    if (waited == WAIT_OBJECT_0) return 0;
    if (hProcess == nullptr && !::IsWindow(hWnd)) return 0;
    std::fprintf(stderr, "qvclose: \"%s\" did not end within %lu ms\n", title, static_cast<unsigned long>(timeout));
    return 2;
}
