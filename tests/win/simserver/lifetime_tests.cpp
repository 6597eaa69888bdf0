// Lifetime: the server process ends by itself once its last client lets go, and COM can
// start it again right away.
#include <gtest/gtest.h>

#include "sim_client.h"
#include "tests/win/support/folder.h"
#include "tests/win/support/process.h"

#include <optional>
#include <string>

namespace simtest {
namespace {

int CountServerProcesses() { return int(qvtest::SimServerProcesses().size()); }

TEST(SimLifetime, ServerExitsAfterTheLastReleaseAndStartsAgain) {
    ASSERT_TRUE(KeepAlive::server());
    {
        // Leave a group, an enumerator and a connection behind on purpose and let them go
        // in an untidy order: group interface after the server object.
        ComPtr<IOPCServer> server;
        ASSERT_EQ(S_OK, Connect(kHierarchical, server));
        TestGroup g(server.Get(), 100);
        ASSERT_NE(0u, g.add(L"Plant.Line1.Counter", 1));
        ComPtr<IOPCItemMgt> kept(g.items());
        auto browse = Query<IOPCBrowseServerAddressSpace>(server.Get(), IID_IOPCBrowseServerAddressSpace);
        ComPtr<IEnumString> e;
        ASSERT_TRUE(SUCCEEDED(browse->BrowseOPCItemIDs(OPC_FLAT, L"", VT_EMPTY, 0, e.Put())));
        EXPECT_EQ(1, CountServerProcesses());
        g.release();
        browse.Reset();
        server.Reset();
        // The group outlives its server object; it refuses work but is still a valid object.
        HRESULT* errors = nullptr;
        OPCHANDLE h = 1;
        EXPECT_EQ(E_FAIL, kept->RemoveItems(1, &h, &errors));
        EXPECT_EQ(nullptr, errors);
    }
    KeepAlive::release();
    const ULONGLONG t0 = GetTickCount64();
    const bool gone = qvtest::WaitUntil([] { return CountServerProcesses() == 0; }, 20000);
    RecordProperty("server_exit_ms", static_cast<int>(GetTickCount64() - t0));
    EXPECT_TRUE(gone);

    // A client that dies holding objects: the server notices and ends all the same.
    qvtest::ChildProcess orphan;
    std::string why;
    ASSERT_TRUE(orphan.Start(qvtest::QuoteArg(qvtest::BinDir() + "\\simserver_tests.exe") + " " + kOrphanClientArg,
                             std::string(), false, &why))
        << why;
    EXPECT_EQ(std::optional<DWORD>(3u), orphan.Wait(20000));
    const ULONGLONG t2 = GetTickCount64();
    const bool orphanGone = qvtest::WaitUntil([] { return CountServerProcesses() == 0; }, 20000);
    RecordProperty("server_exit_after_client_killed_ms", static_cast<int>(GetTickCount64() - t2));
    EXPECT_TRUE(orphanGone);

    const ULONGLONG t1 = GetTickCount64();
    ASSERT_TRUE(KeepAlive::server());
    RecordProperty("reactivate_ms", static_cast<int>(GetTickCount64() - t1));
    EXPECT_EQ(1, CountServerProcesses());
}

}  // namespace
}  // namespace simtest
