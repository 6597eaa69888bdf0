// Items: fixed qualities, requested types, client handles, validation and removal, item
// properties: what the OPC client library does not use, so nothing above checks it.
#include <gtest/gtest.h>

#include "sim_client.h"

namespace simtest {
namespace {

// Nothing above reads the qualities: the DDE side shows values only.
TEST(SimItems, QualityTagsCarryTheirQualityAndInactiveCacheReadsAreOutOfService) {
    TestGroup g(KeepAlive::server(), 1000);
    ASSERT_EQ(S_OK, g.addResult());
    const struct {
        const wchar_t* id;
        WORD q;
    } cases[] = {{L"Quality.Good", 0xC0},          {L"Quality.Bad", 0x00},         {L"Quality.Uncertain", 0x40},
                 {L"Quality.LocalOverride", 0xD8}, {L"Quality.ConfigError", 0x04}, {L"Quality.CommFailure", 0x18},
                 {L"Quality.LastUsable", 0x44}};
    for (const auto& c : cases) {
        OPCHANDLE h = g.add(c.id, 1);
        ASSERT_NE(0u, h);
        Variant v;
        WORD q = 0xFFFF;
        ASSERT_EQ(S_OK, g.read(h, v, q, OPC_DS_CACHE));
        EXPECT_EQ(c.q, q) << std::string(c.id, c.id + wcslen(c.id));
    }

    TestGroup idle(KeepAlive::server(), 1000, 0, FALSE);
    OPCHANDLE h = idle.add(L"Static.R8", 1);
    Variant v;
    WORD q = 0;
    ASSERT_EQ(S_OK, idle.read(h, v, q, OPC_DS_CACHE));
    EXPECT_EQ(0x1C, q);
    ASSERT_EQ(S_OK, idle.read(h, v, q, OPC_DS_DEVICE));
    EXPECT_EQ(0xC0, q);
}

// The server's own conversion refuses, whatever the client converted before.
TEST(SimItems, WritesThatCannotBecomeTheTagsTypeAreRefusedAndChangeNothing) {
    TestGroup g(KeepAlive::server(), 1000);
    OPCHANDLE i4 = g.add(L"Static.I4", 1);
    OPCHANDLE ui1 = g.add(L"Static.UI1", 2);
    EXPECT_EQ(OPC_E_BADTYPE, g.write(i4, MakeText(L"not a number").Ref()));
    EXPECT_EQ(OPC_E_RANGE, g.write(ui1, qvtest::I4(300)));
    Variant v;
    WORD q;
    ASSERT_EQ(S_OK, g.read(ui1, v, q));
    EXPECT_EQ(200, v.Ref().bVal);
}

TEST(SimItems, RequestedTypeIsWhatReadsDeliver) {
    TestGroup g(KeepAlive::server(), 1000);
    ASSERT_EQ(S_OK, g.addResult());
    OPCHANDLE h = g.add(L"Static.I2", 1, nullptr, VT_BSTR);
    ASSERT_NE(0u, h);
    Variant v;
    WORD q;
    ASSERT_EQ(S_OK, g.read(h, v, q));
    ASSERT_EQ(VT_BSTR, v.Vt());
    EXPECT_STREQ(L"-1600", v.Ref().bstrVal);

    VARTYPE r8 = VT_R8;
    HRESULT* errors = nullptr;
    ASSERT_EQ(S_OK, g.items()->SetDatatypes(1, &h, &r8, &errors));
    EXPECT_EQ(S_OK, errors[0]);
    CoTaskMemFree(errors);
    ASSERT_EQ(S_OK, g.read(h, v, q));
    ASSERT_EQ(VT_R8, v.Vt());
    EXPECT_EQ(-1600.0, v.Ref().dblVal);

    // New client handles show up in reads; ValidateItems checks without adding.
    OPCHANDLE client = 4242;
    ASSERT_EQ(S_OK, g.items()->SetClientHandles(1, &h, &client, &errors));
    CoTaskMemFree(errors);
    OPCITEMSTATE* states = nullptr;
    ASSERT_EQ(S_OK, g.sync()->Read(OPC_DS_CACHE, 1, &h, &states, &errors));
    EXPECT_EQ(4242u, states[0].hClient);
    VariantClear(&states[0].vDataValue);
    CoTaskMemFree(states);
    CoTaskMemFree(errors);
    OPCITEMDEF defs[2] = {};
    defs[0].szItemID = const_cast<LPWSTR>(L"Static.UI2");
    defs[1].szItemID = const_cast<LPWSTR>(L"Static.Nothing");
    OPCITEMRESULT* results = nullptr;
    ASSERT_EQ(S_FALSE, g.items()->ValidateItems(2, defs, FALSE, &results, &errors));
    EXPECT_EQ(S_OK, errors[0]);
    EXPECT_EQ(VT_UI2, results[0].vtCanonicalDataType);
    EXPECT_EQ(0u, results[0].hServer);
    EXPECT_EQ(OPC_E_UNKNOWNITEMID, errors[1]);
    CoTaskMemFree(results);
    CoTaskMemFree(errors);

    OPCHANDLE bad = 0xBAD;
    ASSERT_EQ(S_FALSE, g.items()->RemoveItems(1, &bad, &errors));
    EXPECT_EQ(OPC_E_INVALIDHANDLE, errors[0]);
    CoTaskMemFree(errors);
    ASSERT_EQ(S_OK, g.items()->RemoveItems(1, &h, &errors));
    CoTaskMemFree(errors);
    EXPECT_EQ(OPC_E_INVALIDHANDLE, g.read(h, v, q));
}

}  // namespace
}  // namespace simtest

namespace simtest {
namespace {

// Arrays of strings and SAFEARRAY values through the proxy; the EU range of analog items.
TEST(SimItems, ItemPropertiesGiveTheEuRangeOfAnalogItems) {
    auto props = Query<IOPCItemProperties>(KeepAlive::server(), IID_IOPCItemProperties);
    ASSERT_TRUE(props);
    DWORD n = 0;
    DWORD* ids = nullptr;
    LPWSTR* texts = nullptr;
    VARTYPE* types = nullptr;
    ASSERT_EQ(S_OK,
              props->QueryAvailableProperties(const_cast<LPWSTR>(L"DEV:boiler/pressure"), &n, &ids, &texts, &types));
    ASSERT_EQ(11u, n);
    EXPECT_EQ(1u, ids[0]);
    ASSERT_NE(nullptr, texts[0]);
    EXPECT_STREQ(L"Item Canonical DataType", texts[0]);
    EXPECT_EQ(VT_R8, types[1]);  // the value property has the item's type
    EXPECT_EQ(103u, ids[10]);
    for (DWORD i = 0; i < n; ++i) CoTaskMemFree(texts[i]);
    CoTaskMemFree(ids);
    CoTaskMemFree(texts);
    CoTaskMemFree(types);

    DWORD wanted[] = {7, 8, 102, 103, 9999};
    VARIANT* values = nullptr;
    HRESULT* errors = nullptr;
    ASSERT_EQ(S_FALSE,
              props->GetItemProperties(const_cast<LPWSTR>(L"DEV:boiler/pressure"), 5, wanted, &values, &errors));
    EXPECT_EQ(OPC_ANALOG, values[0].lVal);
    ASSERT_EQ(VT_ARRAY | VT_R8, values[1].vt);
    double* range = nullptr;
    ASSERT_EQ(S_OK, SafeArrayAccessData(values[1].parray, reinterpret_cast<void**>(&range)));
    EXPECT_EQ(0.0, range[0]);
    EXPECT_EQ(16.0, range[1]);
    SafeArrayUnaccessData(values[1].parray);
    EXPECT_EQ(16.0, values[2].dblVal);
    EXPECT_EQ(0.0, values[3].dblVal);
    EXPECT_EQ(OPC_E_INVALID_PID, errors[4]);
    for (int i = 0; i < 5; ++i) VariantClear(&values[i]);
    CoTaskMemFree(values);
    CoTaskMemFree(errors);

    // Non-analog items have no EU range; unknown ids are refused.
    ASSERT_EQ(S_OK, props->QueryAvailableProperties(const_cast<LPWSTR>(L"Static.R8"), &n, &ids, &texts, &types));
    EXPECT_EQ(8u, n);
    for (DWORD i = 0; i < n; ++i) CoTaskMemFree(texts[i]);
    CoTaskMemFree(ids);
    CoTaskMemFree(texts);
    CoTaskMemFree(types);
    EXPECT_EQ(OPC_E_UNKNOWNITEMID,
              props->QueryAvailableProperties(const_cast<LPWSTR>(L"Nope"), &n, &ids, &texts, &types));
    EXPECT_EQ(nullptr, ids);
}

}  // namespace
}  // namespace simtest
