// Lifetime: the server process ends by itself once its last client lets go, and COM can
// start it again right away.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <tlhelp32.h>

#include <cstring>
#include <string>

namespace simtest {
namespace {

int CountServerProcesses() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32W pe{};
    pe.dwSize = sizeof pe;
    int n = 0;
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        if (!lstrcmpiW(pe.szExeFile, L"QuorvaneSim.exe")) ++n;
    CloseHandle(snap);
    return n;
}

TEST(SimLifetime, ServerExitsAfterTheLastReleaseAndStartsAgain) {
    ASSERT_TRUE(KeepAlive::server());
    {
        // Leave a group, an enumerator and a connection behind on purpose and let them go
        // in an untidy order: group interface after the server object.
        ComPtr<IOPCServer> server;
        ASSERT_EQ(S_OK, Connect(kHierarchical, server));
        TestGroup g(server.get(), 100);
        ASSERT_NE(0u, g.add(L"Plant.Line1.Counter", 1));
        ComPtr<IOPCItemMgt> kept(g.items());
        auto browse = Query<IOPCBrowseServerAddressSpace>(server.get(), IID_IOPCBrowseServerAddressSpace);
        ComPtr<IEnumString> e;
        ASSERT_TRUE(SUCCEEDED(browse->BrowseOPCItemIDs(OPC_FLAT, L"", VT_EMPTY, 0, e.put())));
        EXPECT_EQ(1, CountServerProcesses());
        g.release();
        browse.reset();
        server.reset();
        // The group outlives its server object; it refuses work but is still a valid object.
        HRESULT* errors = nullptr;
        OPCHANDLE h = 1;
        EXPECT_EQ(E_FAIL, kept->RemoveItems(1, &h, &errors));
        EXPECT_EQ(nullptr, errors);
    }
    KeepAlive::release();
    const ULONGLONG t0 = GetTickCount64();
    const bool gone = PumpUntil([] { return CountServerProcesses() == 0; }, 5000);
    RecordProperty("server_exit_ms", static_cast<int>(GetTickCount64() - t0));
    EXPECT_TRUE(gone);

    // A client that dies holding objects: the server notices and ends all the same.
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring cmd = std::wstring(L"\"") + path + L"\" " + std::wstring(kOrphanClientArg, kOrphanClientArg + strlen(kOrphanClientArg));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(path, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    const bool childEnded = WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    if (!childEnded) TerminateProcess(pi.hProcess, 1);  // only the child we started
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(childEnded);
    EXPECT_EQ(3u, code);
    const ULONGLONG t2 = GetTickCount64();
    const bool orphanGone = PumpUntil([] { return CountServerProcesses() == 0; }, 6000);
    RecordProperty("server_exit_after_client_killed_ms", static_cast<int>(GetTickCount64() - t2));
    EXPECT_TRUE(orphanGone);

    const ULONGLONG t1 = GetTickCount64();
    ASSERT_TRUE(KeepAlive::server());
    RecordProperty("reactivate_ms", static_cast<int>(GetTickCount64() - t1));
    EXPECT_EQ(1, CountServerProcesses());
}

}  // namespace
}  // namespace simtest
