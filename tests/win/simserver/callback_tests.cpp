// Callbacks: deadband, Refresh2, asynchronous read/write, one callback per group.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <olectl.h>

#include <cmath>
#include <memory>

namespace simtest {
namespace {

// A group with a data sink advised on it.
struct Subscription {
    Subscription(IOPCServer* server, DWORD rate, FLOAT deadband = 0)
        : group(server, rate, deadband), sink(new DataSink) {
        sinkOwner = ComPtr<DataSink>::Adopt(sink);
    }
    bool advise() {
        advise_ = std::make_unique<Advise>(group.items(), IID_IOPCDataCallback, sink);
        return SUCCEEDED(advise_->result());
    }
    ~Subscription() { advise_.reset(); }

    TestGroup group;
    DataSink* sink;
    ComPtr<DataSink> sinkOwner;
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
    ASSERT_EQ(S_OK, s.group.write(sp, qvtest::R8(20)));
    ASSERT_TRUE(s.advise());
    ASSERT_TRUE(qvtest::WaitUntil([&] { return !s.sink->of(1).empty(); }, 3000));
    EXPECT_EQ(20.0, s.sink->of(1).back()->value.Ref().dblVal);

    ASSERT_EQ(S_OK, s.group.write(sp, qvtest::R8(29.5)));  // 9.5 from the last value sent
    // Three more updates of the counter in the same group: the small step had its chances.
    const size_t counterBefore = s.sink->of(2).size();
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->of(2).size() >= counterBefore + 3; }, 10000));
    EXPECT_EQ(1u, s.sink->of(1).size());

    ASSERT_EQ(S_OK, s.group.write(sp, qvtest::R8(30.5)));  // 10.5 from 20
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->of(1).size() == 2; }, 2000));
    EXPECT_EQ(30.5, s.sink->of(1).back()->value.Ref().dblVal);

    // Without a deadband the same small step is reported.
    auto state = Query<IOPCGroupStateMgt>(s.group.items(), IID_IOPCGroupStateMgt);
    FLOAT none = 0;
    DWORD revised = 0;
    ASSERT_EQ(S_OK, state->SetState(nullptr, &revised, nullptr, nullptr, &none, nullptr, nullptr));
    ASSERT_EQ(S_OK, s.group.write(sp, qvtest::R8(31)));
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->of(1).size() == 3; }, 2000));
    EXPECT_EQ(S_OK, s.group.write(sp, qvtest::R8(50)));
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
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->dataChangeCalls == 1; }, 3000));
    EXPECT_EQ(2u, s.sink->callSizes[0]);

    ASSERT_EQ(S_OK, async->Refresh2(OPC_DS_DEVICE, 4711, &cancel));
    EXPECT_NE(0u, cancel);
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->dataChangeCalls == 2; }, 2000));
    EXPECT_EQ(2u, s.sink->callSizes[1]);
    for (size_t i = 2; i < s.sink->changes.size(); ++i) EXPECT_EQ(4711u, s.sink->changes[i].transactionId);

    // Asynchronous read and write complete through the same sink.
    OPCHANDLE handles[] = {1, 0xBAD};  // server handles are 1, 2, 3 in a fresh group
    ASSERT_EQ(S_FALSE, async->Read(2, handles, 99, &cancel, &errors));
    EXPECT_EQ(S_OK, errors[0]);
    EXPECT_EQ(OPC_E_INVALIDHANDLE, errors[1]);
    CoTaskMemFree(errors);
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->reads.size() == 1; }, 2000));
    EXPECT_EQ(99u, s.sink->reads[0].transactionId);
    EXPECT_EQ(1u, s.sink->reads[0].item);
    EXPECT_EQ(VT_I4, s.sink->reads[0].value.Vt());

    VARIANT values[1];
    VariantInit(&values[0]);
    values[0].vt = VT_R8;
    values[0].dblVal = 1;
    OPCHANDLE text[] = {2};  // Static.BSTR takes 1 as "1"
    ASSERT_EQ(S_OK, async->Write(1, text, values, 77, &cancel, &errors));
    CoTaskMemFree(errors);
    ASSERT_TRUE(qvtest::WaitUntil([&] { return s.sink->writes.size() == 1; }, 2000));
    EXPECT_EQ(77u, s.sink->writeTransactions[0]);
    EXPECT_EQ(2u, s.sink->writes[0].first);
    EXPECT_EQ(S_OK, s.sink->writes[0].second);
    EXPECT_EQ(S_OK, s.group.write(2, MakeText(L"Hello").Ref()));

    // A second advise on the same group is refused: one callback per group.
    ComPtr<DataSink> other = ComPtr<DataSink>::Adopt(new DataSink);
    Advise second(s.group.items(), IID_IOPCDataCallback, other.Get());
    EXPECT_EQ(CONNECT_E_ADVISELIMIT, second.result());
}

}  // namespace
}  // namespace simtest
