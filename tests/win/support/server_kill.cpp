#include "tests/win/support/server_kill.h"

#include "tests/win/support/wait.h"

namespace qvtest {
namespace {

struct ServiceHandle {
    explicit ServiceHandle(SC_HANDLE h) : handle(h) {}
    ~ServiceHandle() {
        if (handle) CloseServiceHandle(handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE handle;
};

}  // namespace

bool Kill(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    bool gone = TerminateProcess(process, 9) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

bool RestartRpcSsUnderWine() {
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return true;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager.handle) return false;
    ServiceHandle rpcss(OpenServiceW(manager.handle, L"RpcSs", SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!rpcss.handle) return false;
    SERVICE_STATUS status;
    ControlService(rpcss.handle, SERVICE_CONTROL_STOP, &status);
    return WaitUntil(
        [&] {
            SERVICE_STATUS_PROCESS now;
            DWORD needed = 0;
            return !QueryServiceStatusEx(rpcss.handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&now),
                                         sizeof(now), &needed) ||
                   now.dwCurrentState == SERVICE_STOPPED;
        },
        10000);
}

}  // namespace qvtest
