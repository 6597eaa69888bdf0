// Callbacks: the percent deadband, and Refresh2 as the library's whole-group refresh uses it.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <olectl.h>

#include <memory>

namespace simtest {
namespace {

using qvtest::MakeVariant;

// A group with a data sink advised on it.
struct Subscription {
    Subscription(IOPCServer* server, DWORD rate, FLOAT deadband = 0)
        : group(server, rate, deadband), sink(ComPtr<DataSink>::Adopt(new DataSink)) {}
    bool advise() {
        advise_ = std::make_unique<Advise>(group.items(), IID_IOPCDataCallback, sink.Get());
        return SUCCEEDED(advise_->result());
    }
    TestGroup group;
    ComPtr<DataSink> sink;
    std::unique_ptr<Advise> advise_;
};

TEST(SimCallbacks, PercentDeadbandHoldsBackSmallChangesOfAnalogItemsOnly) {
    ComPtr<IOPCServer> flat;
    ASSERT_EQ(S_OK, Connect(kFlat, flat));
    Subscription s(flat.Get(), 50, 10.0f);  // 10 % of Setpoint1's 0..100
    ASSERT_EQ(S_OK, s.group.addResult());
    OPCHANDLE sp = s.group.add(L"Setpoint1", 1);
    ASSERT_NE(0u, sp);
    ASSERT_NE(0u, s.group.add(L"Counter1", 2));  // not analog: every change counts
    ASSERT_EQ(S_OK, s.group.write(sp, MakeVariant(VT_R8, 20)));
    ASSERT_TRUE(s.advise());
    ASSERT_TRUE(qvtest::WaitUntil([&] { return !s.sink->of(1).empty(); }, 3000));
    EXPECT_EQ(20.0, s.sink->of(1).back()->value.Ref().dblVal);

    ASSERT_EQ(S_OK, s.group.write(sp, MakeVariant(VT_R8, 29.5)));  // 9.5 from the last value sent
    // Three more updates of the counter in the same group: the small step had its chances.
    const size_t counterBefore = s.sink->of(2).size();
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->of(2).size() >= counterBefore + 3; }, 10000));
    EXPECT_EQ(1u, s.sink->of(1).size());

    ASSERT_EQ(S_OK, s.group.write(sp, MakeVariant(VT_R8, 30.5)));  // 10.5 from 20
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->of(1).size() == 2; }, 2000));
    EXPECT_EQ(30.5, s.sink->of(1).back()->value.Ref().dblVal);
    EXPECT_EQ(S_OK, s.group.write(sp, MakeVariant(VT_R8, 50)));
}

TEST(SimCallbacks, Refresh2SendsEveryActiveItemInOneCallWithTheTransactionId) {
    Subscription s(KeepAlive::server(), 60000);  // no ordinary updates during the test after the first
    ASSERT_EQ(S_OK, s.group.addResult());
    DWORD cancel = 0;
    auto async = Query<IOPCAsyncIO2>(s.group.items(), IID_IOPCAsyncIO2);
    ASSERT_TRUE(async);
    EXPECT_EQ(E_FAIL, async->Refresh2(OPC_DS_CACHE, 1, &cancel));  // no items yet
    ASSERT_NE(0u, s.group.add(L"Static.I4", 1));
    ASSERT_NE(0u, s.group.add(L"Static.BSTR", 2));
    OPCHANDLE inactive = s.group.add(L"Static.BOOL", 3);
    HRESULT* errors = nullptr;
    ASSERT_EQ(S_OK, s.group.items()->SetActiveState(1, &inactive, FALSE, &errors));
    CoTaskMemFree(errors);
    EXPECT_EQ(CONNECT_E_NOCONNECTION, async->Refresh2(OPC_DS_CACHE, 1, &cancel));
    ASSERT_TRUE(s.advise());
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->callSizes.size() == 1; }, 3000));
    EXPECT_EQ(2u, s.sink->callSizes[0]);

    ASSERT_EQ(S_OK, async->Refresh2(OPC_DS_CACHE, 4711, &cancel));
    EXPECT_NE(0u, cancel);
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->callSizes.size() == 2; }, 2000));
    EXPECT_EQ(2u, s.sink->callSizes[1]);
    for (size_t i = 2; i < s.sink->changes.size(); ++i) EXPECT_EQ(4711u, s.sink->changes[i].transactionId);
}

}  // namespace
}  // namespace simtest
