// Browsing: the hierarchical tree (branches, leaves, ids vs names, Empty, filters, flat
// listing), the flat server, and the Big branch through the IEnumString proxy.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <algorithm>
#include <cstdio>

namespace simtest {
namespace {

using Names = std::vector<std::wstring>;

bool Has(const Names& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

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
        browse = Query<IOPCBrowseServerAddressSpace>(server.get(), IID_IOPCBrowseServerAddressSpace);
        ASSERT_TRUE(browse);
    }
    ComPtr<IOPCServer> server;
    ComPtr<IOPCBrowseServerAddressSpace> browse;
    Names names;
};

TEST_F(SimBrowse, WalksBranchesAndLeavesAndGivesItemIds) {
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_BRANCH, names));
    EXPECT_EQ((Names{L"Plant", L"Static", L"Quality", L"Devices", L"Control", L"Empty"}), names);
    EXPECT_EQ(S_FALSE, Browse(browse.get(), OPC_LEAF, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(E_FAIL, browse->ChangeBrowsePosition(OPC_BROWSE_UP, L""));

    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Plant"));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_BRANCH, names));
    EXPECT_EQ((Names{L"Line1", L"Line2"}), names);
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Line1"));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_LEAF, names));
    EXPECT_EQ((Names{L"Temp", L"Level", L"Counter", L"Random"}), names);
    EXPECT_EQ(L"Plant.Line1.Temp", ItemId(browse.get(), L"Temp"));
    EXPECT_EQ(L"Plant.Line1", ItemId(browse.get(), L""));
    EXPECT_EQ(E_INVALIDARG, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Temp"));  // a leaf
    LPWSTR id = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_INVALIDARG, browse->GetItemID(const_cast<LPWSTR>(L"Nothing"), &id));
    EXPECT_EQ(nullptr, id);
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_UP, L""));
    EXPECT_EQ(L"Plant.Line2", ItemId(browse.get(), L"Line2"));

    // Device tags: the browse name differs from the item id.
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Devices.Boiler"));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_LEAF, names));
    EXPECT_EQ((Names{L"Pressure", L"Flow"}), names);
    EXPECT_EQ(L"DEV:boiler/pressure", ItemId(browse.get(), L"Pressure"));
    EXPECT_EQ(L"DEV:boiler/flow", ItemId(browse.get(), L"Flow"));

    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Empty"));
    EXPECT_EQ(S_FALSE, Browse(browse.get(), OPC_BRANCH, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(S_FALSE, Browse(browse.get(), OPC_LEAF, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(S_FALSE, Browse(browse.get(), OPC_FLAT, names));
    EXPECT_EQ(E_INVALIDARG, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Plant.Line3"));
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_BRANCH, names));
    EXPECT_TRUE(Has(names, L"Plant"));
}

TEST_F(SimBrowse, FiltersAndFlatListing) {
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Static"));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_LEAF, names, L"R*"));
    EXPECT_EQ((Names{L"R4", L"R8", L"ReadOnly"}), names);
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_LEAF, names, L"UI?"));
    EXPECT_EQ((Names{L"UI1", L"UI2", L"UI4"}), names);
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_LEAF, names, L"", VT_R8));
    EXPECT_EQ((Names{L"R8", L"ReadOnly"}), names);
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_LEAF, names, L"", VT_R8, OPC_WRITEABLE));
    EXPECT_EQ((Names{L"R8"}), names);
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L"Quality"));
    EXPECT_EQ(S_FALSE, Browse(browse.get(), OPC_LEAF, names, L"", VT_EMPTY, OPC_WRITEABLE));

    // OPC_FLAT from the root: every item id below, directly usable in AddItems.
    ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_FLAT, names));
    EXPECT_EQ(36u, names.size());
    EXPECT_TRUE(Has(names, L"Plant.Line2.State"));
    EXPECT_TRUE(Has(names, L"DEV:boiler/flow"));
    EXPECT_TRUE(Has(names, L"Control.BigBranchSize"));
    EXPECT_FALSE(Has(names, L"Devices.Boiler.Flow"));
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_FLAT, names, L"*Line1*"));
    EXPECT_EQ(4u, names.size());
    IEnumString* paths = reinterpret_cast<IEnumString*>(1);
    EXPECT_EQ(E_NOTIMPL, browse->BrowseAccessPaths(L"Static.R8", &paths));
    EXPECT_EQ(nullptr, paths);
}

TEST(SimBrowseFlat, FlatServerListsItemIdsAndRefusesToMove) {
    ComPtr<IOPCServer> server;
    ASSERT_EQ(S_OK, Connect(kFlat, server));
    auto browse = Query<IOPCBrowseServerAddressSpace>(server.get(), IID_IOPCBrowseServerAddressSpace);
    ASSERT_TRUE(browse);
    EXPECT_EQ(E_FAIL, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Control"));
    EXPECT_EQ(E_FAIL, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
    const Names expected{L"Ramp1", L"Sine1", L"Counter1", L"Random1", L"Switch1", L"Text1", L"Setpoint1",
                         L"Control.Shutdown", L"Control.RefuseGroups", L"Control.RefuseItems",
                         L"Control.RefuseWrites", L"Control.BigBranchSize"};
    Names names;
    for (OPCBROWSETYPE type : {OPC_FLAT, OPC_LEAF, OPC_BRANCH}) {  // the type makes no difference here
        ASSERT_EQ(S_OK, Browse(browse.get(), type, names));
        EXPECT_EQ(expected, names);
    }
    EXPECT_EQ(L"Setpoint1", ItemId(browse.get(), L"Setpoint1"));
    // The hierarchical ids are not items of the flat server.
    TestGroup g(server.get(), 1000);
    HRESULT err = S_OK;
    EXPECT_EQ(0u, g.add(L"Plant.Line1.Temp", 1, &err));
    EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);
    EXPECT_NE(0u, g.add(L"Switch1", 2, &err));
    EXPECT_NE(0u, g.add(L"Control.RefuseWrites", 3, &err));
}

// Big branch: made on demand from Control.BigBranchSize; also measures the IEnumString proxy.
TEST_F(SimBrowse, BigBranchAppearsWithTheRequestedNumberOfLeaves) {
    {
        ControlSetting big(server.get(), L"Control.BigBranchSize", MakeI4(100000).ref(), MakeI4(0).ref());
        ASSERT_EQ(S_OK, big.result());
        ASSERT_EQ(S_OK, Browse(browse.get(), OPC_BRANCH, names));
        EXPECT_TRUE(Has(names, L"Big"));
        ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Big"));

        ComPtr<IEnumString> e;
        ASSERT_EQ(S_OK, browse->BrowseOPCItemIDs(OPC_LEAF, L"", VT_EMPTY, 0, e.put()));
        names.clear();
        ULONGLONG t0 = GetTickCount64();
        ASSERT_EQ(S_OK, Drain(e.get(), 1000, names));
        const ULONGLONG drainMs = GetTickCount64() - t0;
        RecordProperty("enum_100000_names_chunk1000_ms", static_cast<int>(drainMs));
        ASSERT_EQ(100000u, names.size());
        EXPECT_EQ(L"T00000", names.front());
        EXPECT_EQ(L"T99999", names.back());
        EXPECT_EQ(L"Big.T04711", ItemId(browse.get(), L"T04711"));

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
        ASSERT_EQ(S_OK, e->Clone(clone.put()));
        ASSERT_EQ(S_OK, clone->Reset());
        ASSERT_EQ(S_OK, clone->Next(1, &one, &got));
        EXPECT_STREQ(L"T00000", one);
        CoTaskMemFree(one);
        std::printf("[ measure  ] IEnumString over the proxy: 100000 names in chunks of 1000: %llu ms\n", drainMs);

        TestGroup g(server.get(), 1000);
        HRESULT err = S_OK;
        EXPECT_NE(0u, g.add(L"Big.T99999", 1, &err));
        EXPECT_EQ(0u, g.add(L"Big.T100000", 2, &err));
        EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);

        ASSERT_EQ(S_OK, browse->ChangeBrowsePosition(OPC_BROWSE_TO, L""));
        ASSERT_EQ(S_OK, Browse(browse.get(), OPC_FLAT, names, L"Big.T0000#"));
        EXPECT_EQ(10u, names.size());
        EXPECT_EQ(L"Big.T00009", names.back());
    }
    ASSERT_EQ(S_OK, Browse(browse.get(), OPC_BRANCH, names));
    EXPECT_FALSE(Has(names, L"Big"));
    EXPECT_EQ(E_INVALIDARG, browse->ChangeBrowsePosition(OPC_BROWSE_DOWN, L"Big"));
    TestGroup g(server.get(), 1000);
    HRESULT err = S_OK;
    EXPECT_EQ(0u, g.add(L"Big.T00001", 1, &err));
    EXPECT_EQ(OPC_E_UNKNOWNITEMID, err);
    EXPECT_EQ(OPC_E_RANGE, WriteOnce(server.get(), L"Control.BigBranchSize", MakeI4(100001).ref()));
}

}  // namespace
}  // namespace simtest
