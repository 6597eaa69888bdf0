// The Big branch, made on demand from Control.BigBranchSize: listed through the IEnumString
// proxy in chunks (measured), its leaves are items until the size goes back to 0.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <algorithm>
#include <cstdio>

namespace simtest {
namespace {

using Names = std::vector<std::wstring>;

bool Has(const Names& names, const wchar_t* name) { return std::find(names.begin(), names.end(), name) != names.end(); }

TEST(SimBrowse, BigBranchAppearsWithTheRequestedNumberOfLeaves) {
    ComPtr<IOPCServer> server;
    ASSERT_EQ(S_OK, Connect(kHierarchical, server));
    auto browse = Query<IOPCBrowseServerAddressSpace>(server.Get(), IID_IOPCBrowseServerAddressSpace);
    ASSERT_TRUE(browse);
    Names names;
    HRESULT err = S_OK;
    {
        qvtest::ControlTag big(L"Control.BigBranchSize", qvtest::MakeVariant(VT_I4, 100000),
                               qvtest::MakeVariant(VT_I4, 0));
        ASSERT_TRUE(big.ok());
        ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_BRANCH, names));
        EXPECT_TRUE(Has(names, L"Big"));
        ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Big"));
        const ULONGLONG t0 = GetTickCount64();
        ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_LEAF, names, 1000));
        const ULONGLONG drainMs = GetTickCount64() - t0;
        RecordProperty("enum_100000_names_chunk1000_ms", static_cast<int>(drainMs));
        std::printf("[ measure  ] IEnumString over the proxy: 100000 names in chunks of 1000: %llu ms\n", drainMs);
        ASSERT_EQ(100000u, names.size());
        EXPECT_EQ(L"T00000", names.front());
        EXPECT_EQ(L"T99999", names.back());
        LPWSTR id = nullptr;
        ASSERT_EQ(S_OK, browse->GetItemID(const_cast<LPWSTR>(L"T04711"), &id));
        EXPECT_STREQ(L"Big.T04711", id);
        CoTaskMemFree(id);

        TestGroup g(server.Get(), 1000);
        EXPECT_NE(0u, g.add(L"Big.T99999", 1, &err));
        EXPECT_EQ(0u, g.add(L"Big.T100000", 2, &err));
        EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);
    }
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_BRANCH, names));
    EXPECT_FALSE(Has(names, L"Big"));
    TestGroup g(server.Get(), 1000);
    EXPECT_EQ(0u, g.add(L"Big.T00001", 1, &err));
    EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);
    OPCHANDLE size = g.add(L"Control.BigBranchSize", 2);
    EXPECT_EQ(OPC_E_RANGE, g.write(size, qvtest::MakeVariant(VT_I4, 100001)));
}

}  // namespace
}  // namespace simtest
