// Browsing: the hierarchical tree (branches, leaves, ids vs names, Empty, filters, flat
// listing), the flat server, and the Big branch through the IEnumString proxy.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <algorithm>
#include <cstdio>

namespace simtest {
namespace {

using Names = std::vector<std::wstring>;

bool Has(const Names& names, const wchar_t* name) { return std::find(names.begin(), names.end(), name) != names.end(); }

std::wstring ItemId(IOPCBrowseServerAddressSpace* b, const wchar_t* name) {
    LPWSTR id = nullptr;
    if (FAILED(b->GetItemID(const_cast<LPWSTR>(name), &id)) || !id) return L"<failed>";
    std::wstring out = id;
    CoTaskMemFree(id);
    return out;
}

class SimBrowse : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, Connect(kHierarchical, server));
        browse = Query<IOPCBrowseServerAddressSpace>(server.Get(), IID_IOPCBrowseServerAddressSpace);
        ASSERT_TRUE(browse);
    }
    ComPtr<IOPCServer> server;
    ComPtr<IOPCBrowseServerAddressSpace> browse;
    Names names;
};

TEST_F(SimBrowse, FiltersAndFlatListing) {
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Static"));
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_LEAF, names, L"R*"));
    EXPECT_EQ((Names{L"R4", L"R8", L"ReadOnly"}), names);
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_LEAF, names, L"UI?"));
    EXPECT_EQ((Names{L"UI1", L"UI2", L"UI4"}), names);
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_LEAF, names, L"", VT_R8));
    EXPECT_EQ((Names{L"R8", L"ReadOnly"}), names);
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_LEAF, names, L"", VT_R8, OPC_WRITEABLE));
    EXPECT_EQ((Names{L"R8"}), names);
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Quality"));
    EXPECT_EQ(S_FALSE, Browse(browse.Get(), OPC_LEAF, names, L"", VT_EMPTY, OPC_WRITEABLE));

    // OPC_FLAT from the root: every item id below, directly usable in AddItems.
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_FLAT, names));
    EXPECT_EQ(36u, names.size());
    EXPECT_TRUE(Has(names, L"Plant.Line2.State"));
    EXPECT_TRUE(Has(names, L"DEV:boiler/flow"));
    EXPECT_TRUE(Has(names, L"Control.BigBranchSize"));
    EXPECT_FALSE(Has(names, L"Devices.Boiler.Flow"));
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_FLAT, names, L"*Line1*"));
    EXPECT_EQ(4u, names.size());
    IEnumString* paths = reinterpret_cast<IEnumString*>(1);
    EXPECT_EQ(E_NOTIMPL, browse->BrowseAccessPaths(L"Static.R8", &paths));
    EXPECT_EQ(nullptr, paths);
}

// Big branch: made on demand from Control.BigBranchSize; also measures the IEnumString proxy.
TEST_F(SimBrowse, BigBranchAppearsWithTheRequestedNumberOfLeaves) {
    {
        qvtest::ControlTag big(L"Control.BigBranchSize", qvtest::I4(100000), qvtest::I4(0));
        ASSERT_TRUE(big.ok());
        ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_BRANCH, names));
        EXPECT_TRUE(Has(names, L"Big"));
        ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Big"));

        ComPtr<IEnumString> e;
        ASSERT_EQ(S_OK, browse->BrowseOPCItemIDs(OPC_LEAF, L"", VT_EMPTY, 0, e.Put()));
        names.clear();
        ULONGLONG t0 = GetTickCount64();
        ASSERT_EQ(S_OK, Drain(e.Get(), 1000, names));
        const ULONGLONG drainMs = GetTickCount64() - t0;
        RecordProperty("enum_100000_names_chunk1000_ms", static_cast<int>(drainMs));
        ASSERT_EQ(100000u, names.size());
        EXPECT_EQ(L"T00000", names.front());
        EXPECT_EQ(L"T99999", names.back());
        EXPECT_EQ(L"Big.T04711", ItemId(browse.Get(), L"T04711"));

        // One name per call: the cost of a round trip through the proxy.
        ASSERT_EQ(S_OK, e->Reset());
        names.clear();
        LPOLESTR one = nullptr;
        ULONG got = 0;
        t0 = GetTickCount64();
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(S_OK, e->Next(1, &one, &got));
            ASSERT_EQ(1u, got);
            names.emplace_back(one);
            CoTaskMemFree(one);
        }
        RecordProperty("enum_next1_x200_ms", static_cast<int>(GetTickCount64() - t0));
        EXPECT_EQ(L"T00199", names.back());
        ASSERT_EQ(S_OK, e->Skip(99000));
        EXPECT_EQ(S_FALSE, e->Skip(1000));
        ComPtr<IEnumString> clone;
        ASSERT_EQ(S_OK, e->Clone(clone.Put()));
        ASSERT_EQ(S_OK, clone->Reset());
        ASSERT_EQ(S_OK, clone->Next(1, &one, &got));
        EXPECT_STREQ(L"T00000", one);
        CoTaskMemFree(one);
        std::printf("[ measure  ] IEnumString over the proxy: 100000 names in chunks of 1000: %llu ms\n", drainMs);

        TestGroup g(server.Get(), 1000);
        HRESULT err = S_OK;
        EXPECT_NE(0u, g.add(L"Big.T99999", 1, &err));
        EXPECT_EQ(0u, g.add(L"Big.T100000", 2, &err));
        EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);

        ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
        ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_FLAT, names, L"Big.T0000#"));
        EXPECT_EQ(10u, names.size());
        EXPECT_EQ(L"Big.T00009", names.back());
    }
    ASSERT_EQ(S_OK, Browse(browse.Get(), OPC_BRANCH, names));
    EXPECT_FALSE(Has(names, L"Big"));
    EXPECT_EQ(E_INVALIDARG, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Big"));
    TestGroup g(server.Get(), 1000);
    HRESULT err = S_OK;
    EXPECT_EQ(0u, g.add(L"Big.T00001", 1, &err));
    EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);
    EXPECT_EQ(OPC_E_RANGE, WriteOnce(server.Get(), L"Control.BigBranchSize", qvtest::I4(100001)));
}

}  // namespace
}  // namespace simtest
