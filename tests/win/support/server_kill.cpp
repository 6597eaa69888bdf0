#include "tests/win/support/server_kill.h"

#include "tests/win/support/wait.h"

#include <memory>

namespace qvtest {

using ServiceHandle = std::unique_ptr<SC_HANDLE__, decltype(&CloseServiceHandle)>;

bool Kill(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return false;
    bool gone = TerminateProcess(process, 9) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return gone;
}

bool RestartRpcSsUnderWine() {
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return true;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT), CloseServiceHandle);
    if (!manager) return false;
    ServiceHandle rpcss(OpenServiceW(manager.get(), L"RpcSs", SERVICE_STOP | SERVICE_QUERY_STATUS), CloseServiceHandle);
    if (!rpcss) return false;
    SERVICE_STATUS status;
    ControlService(rpcss.get(), SERVICE_CONTROL_STOP, &status);
    return WaitUntil(
        [&] {
            SERVICE_STATUS_PROCESS now;
            DWORD needed = 0;
            return !QueryServiceStatusEx(rpcss.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&now),
                                         sizeof(now), &needed) ||
                   now.dwCurrentState == SERVICE_STOPPED;
        },
        10000);
}

}  // namespace qvtest
