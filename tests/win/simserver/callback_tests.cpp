// Callbacks: data changes at the update rate on the client's STA thread, deadband,
// writes coming back as changes, Refresh2, asynchronous read/write, shutdown requests.
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
        sinkOwner = ComPtr<DataSink>::adopt(sink);
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

TEST(SimCallbacks, DataChangesArriveOnTheClientThreadAtTheUpdateRate) {
    Subscription s(KeepAlive::server(), 100);
    ASSERT_EQ(S_OK, s.group.addResult());
    ASSERT_NE(0u, s.group.add(L"Plant.Line1.Counter", 11));
    ASSERT_NE(0u, s.group.add(L"Plant.Line1.Temp", 12));
    ASSERT_NE(0u, s.group.add(L"Static.R8", 13));
    ASSERT_TRUE(s.advise());

    ASSERT_TRUE(PumpUntil([&] { return s.sink->dataChangeCalls >= 1; }, 3000));
    const DWORD first = s.sink->dataChangeCalls;
    const ULONGLONG t0 = GetTickCount64();
    PumpFor(1000);
    const double perSecond = (s.sink->dataChangeCalls - first) * 1000.0 / (GetTickCount64() - t0);
    RecordProperty("callbacks_per_s_at_100ms", static_cast<int>(perSecond));
    EXPECT_GT(perSecond, 6.0);
    EXPECT_LT(perSecond, 12.0);

    for (const Received& r : s.sink->changes) {
        EXPECT_EQ(GetCurrentThreadId(), r.threadId);
        EXPECT_EQ(0u, r.transactionId);
        EXPECT_EQ(1u, r.group);  // the client group handle
        EXPECT_EQ(0xC0, r.quality);
        EXPECT_EQ(S_OK, r.error);
    }
    auto counter = s.sink->of(11);
    ASSERT_GE(counter.size(), 6u);
    for (size_t i = 1; i < counter.size(); ++i) {
        EXPECT_EQ(VT_I4, counter[i]->value.vt());
        EXPECT_GT(counter[i]->value.ref().lVal, counter[i - 1]->value.ref().lVal);
        EXPECT_GE(CompareFileTime(&counter[i]->stamp, &counter[i - 1]->stamp), 0);
    }
    // A static value is sent once, not at every update.
    EXPECT_EQ(1u, s.sink->of(13).size());
    EXPECT_EQ(VT_R8, s.sink->of(12).at(0)->value.vt());
}

TEST(SimCallbacks, PercentDeadbandHoldsBackSmallChangesOfAnalogItemsOnly) {
    ComPtr<IOPCServer> flat;
    ASSERT_EQ(S_OK, Connect(kFlat, flat));
    Subscription s(flat.get(), 50, 10.0f);  // 10 % of Setpoint1's 0..100
    ASSERT_EQ(S_OK, s.group.addResult());
    OPCHANDLE sp = s.group.add(L"Setpoint1", 1);
    ASSERT_NE(0u, sp);
    ASSERT_NE(0u, s.group.add(L"Counter1", 2));  // not analog: every change counts
    ASSERT_EQ(S_OK, s.group.write(sp, MakeR8(20).ref()));
    ASSERT_TRUE(s.advise());
    ASSERT_TRUE(PumpUntil([&] { return !s.sink->of(1).empty(); }, 3000));
    EXPECT_EQ(20.0, s.sink->of(1).back()->value.ref().dblVal);

    ASSERT_EQ(S_OK, s.group.write(sp, MakeR8(29.5).ref()));  // 9.5 from the last value sent
    PumpFor(400);
    EXPECT_EQ(1u, s.sink->of(1).size());
    const size_t counterBefore = s.sink->of(2).size();
    EXPECT_GE(counterBefore, 4u);

    ASSERT_EQ(S_OK, s.group.write(sp, MakeR8(30.5).ref()));  // 10.5 from 20
    ASSERT_TRUE(PumpUntil([&] { return s.sink->of(1).size() == 2; }, 2000));
    EXPECT_EQ(30.5, s.sink->of(1).back()->value.ref().dblVal);

    // Without a deadband the same small step is reported.
    auto state = Query<IOPCGroupStateMgt>(s.group.items(), IID_IOPCGroupStateMgt);
    FLOAT none = 0;
    DWORD revised = 0;
    ASSERT_EQ(S_OK, state->SetState(nullptr, &revised, nullptr, nullptr, &none, nullptr, nullptr));
    ASSERT_EQ(S_OK, s.group.write(sp, MakeR8(31).ref()));
    ASSERT_TRUE(PumpUntil([&] { return s.sink->of(1).size() == 3; }, 2000));
    EXPECT_EQ(S_OK, s.group.write(sp, MakeR8(50).ref()));
}

TEST(SimCallbacks, WrittenValueComesBackAsADataChangeInTheTagsType) {
    Subscription s(KeepAlive::server(), 50);
    ASSERT_EQ(S_OK, s.group.addResult());
    OPCHANDLE r4 = s.group.add(L"Static.R4", 7);
    ASSERT_NE(0u, r4);
    Variant original;
    WORD q;
    ASSERT_EQ(S_OK, s.group.read(r4, original, q));
    ASSERT_TRUE(s.advise());
    ASSERT_TRUE(PumpUntil([&] { return s.sink->of(7).size() == 1; }, 3000));

    ASSERT_EQ(S_OK, s.group.write(r4, MakeText(L"12.5").ref()));
    ASSERT_TRUE(PumpUntil([&] { return s.sink->of(7).size() == 2; }, 2000));
    const Received* r = s.sink->of(7).back();
    ASSERT_EQ(VT_R4, r->value.vt());
    EXPECT_EQ(12.5f, r->value.ref().fltVal);
    // Writing the same value again is no change.
    ASSERT_EQ(S_OK, s.group.write(r4, MakeR8(12.5).ref()));
    PumpFor(300);
    EXPECT_EQ(2u, s.sink->of(7).size());
    EXPECT_EQ(S_OK, s.group.write(r4, original.ref()));
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
    ASSERT_TRUE(PumpUntil([&] { return s.sink->dataChangeCalls == 1; }, 3000));
    EXPECT_EQ(2u, s.sink->callSizes[0]);

    ASSERT_EQ(S_OK, async->Refresh2(OPC_DS_DEVICE, 4711, &cancel));
    EXPECT_NE(0u, cancel);
    ASSERT_TRUE(PumpUntil([&] { return s.sink->dataChangeCalls == 2; }, 2000));
    EXPECT_EQ(2u, s.sink->callSizes[1]);
    for (size_t i = 2; i < s.sink->changes.size(); ++i) EXPECT_EQ(4711u, s.sink->changes[i].transactionId);

    // Asynchronous read and write complete through the same sink.
    OPCHANDLE handles[] = {1, 0xBAD};  // server handles are 1, 2, 3 in a fresh group
    ASSERT_EQ(S_FALSE, async->Read(2, handles, 99, &cancel, &errors));
    EXPECT_EQ(S_OK, errors[0]);
    EXPECT_EQ(OPC_E_INVALIDHANDLE, errors[1]);
    CoTaskMemFree(errors);
    ASSERT_TRUE(PumpUntil([&] { return s.sink->reads.size() == 1; }, 2000));
    EXPECT_EQ(99u, s.sink->reads[0].transactionId);
    EXPECT_EQ(1u, s.sink->reads[0].item);
    EXPECT_EQ(VT_I4, s.sink->reads[0].value.vt());

    VARIANT values[1];
    VariantInit(&values[0]);
    values[0].vt = VT_R8;
    values[0].dblVal = 1;
    OPCHANDLE text[] = {2};  // Static.BSTR takes 1 as "1"
    ASSERT_EQ(S_OK, async->Write(1, text, values, 77, &cancel, &errors));
    CoTaskMemFree(errors);
    ASSERT_TRUE(PumpUntil([&] { return s.sink->writes.size() == 1; }, 2000));
    EXPECT_EQ(77u, s.sink->writeTransactions[0]);
    EXPECT_EQ(2u, s.sink->writes[0].first);
    EXPECT_EQ(S_OK, s.sink->writes[0].second);
    EXPECT_EQ(S_OK, s.group.write(2, MakeText(L"Hello").ref()));

    // A second advise on the same group is refused: one callback per group.
    ComPtr<DataSink> other = ComPtr<DataSink>::adopt(new DataSink);
    Advise second(s.group.items(), IID_IOPCDataCallback, other.get());
    EXPECT_EQ(CONNECT_E_ADVISELIMIT, second.result());
}

TEST(SimCallbacks, ControlShutdownReachesEveryAdvisedShutdownSink) {
    ComPtr<IOPCServer> listener;
    ASSERT_EQ(S_OK, Connect(kFlat, listener));
    ComPtr<ShutdownSink> sink = ComPtr<ShutdownSink>::adopt(new ShutdownSink);
    Advise advise(listener.get(), IID_IOPCShutdown, sink.get());
    ASSERT_EQ(S_OK, advise.result());

    EXPECT_EQ(S_OK, WriteOnce(KeepAlive::server(), L"Control.Shutdown", MakeText(L"maintenance").ref()));
    ASSERT_TRUE(PumpUntil([&] { return !sink->reasons.empty(); }, 3000));
    EXPECT_EQ(L"maintenance", sink->reasons[0]);
    EXPECT_EQ(GetCurrentThreadId(), sink->threads[0]);
    PumpFor(300);
    EXPECT_EQ(1u, sink->reasons.size());

    // Any value asks for it; without a text the server gives its own reason.
    EXPECT_EQ(S_OK, WriteOnce(KeepAlive::server(), L"Control.Shutdown", MakeI4(1).ref()));
    ASSERT_TRUE(PumpUntil([&] { return sink->reasons.size() == 2; }, 3000));
    EXPECT_EQ(L"1", sink->reasons[1]);
}

}  // namespace
}  // namespace simtest
