// Server object: error strings, locale, groups and their rates, named groups.
#include <gtest/gtest.h>

#include "sim_client.h"

#include <algorithm>

namespace simtest {
namespace {

// The out-string parameters depend on the repaired proxy: without the repair they arrive NULL.
TEST(SimServer, ErrorStringsAndLocaleTravelThroughTheProxy) {
    IOPCServer* server = KeepAlive::server();
    ASSERT_TRUE(server);
    LPWSTR text = nullptr;
    ASSERT_EQ(S_OK, server->GetErrorString(OPC_E_UNKNOWNITEMID, 0x409, &text));
    ASSERT_NE(nullptr, text);
    EXPECT_NE(nullptr, wcsstr(text, L"address space"));
    CoTaskMemFree(text);

    text = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(E_INVALIDARG, server->GetErrorString(static_cast<HRESULT>(0xC00400FFL), 0x409, &text));
    EXPECT_EQ(nullptr, text);

    auto common = Query<IOPCCommon>(server, IID_IOPCCommon);
    ASSERT_TRUE(common);
    EXPECT_EQ(E_INVALIDARG, common->SetLocaleID(0x0407));
    EXPECT_EQ(S_OK, common->SetClientName(L"simserver_tests"));
    LCID lcid = 0;
    EXPECT_EQ(S_OK, common->GetLocaleID(&lcid));
    EXPECT_EQ(0x409u, lcid);
    ASSERT_EQ(S_OK, common->GetErrorString(OPC_S_UNSUPPORTEDRATE, &text));
    ASSERT_NE(nullptr, text);
    EXPECT_NE(nullptr, wcsstr(text, L"rate"));
    CoTaskMemFree(text);
    DWORD n = 0;
    LCID* ids = nullptr;
    ASSERT_EQ(S_OK, common->QueryAvailableLocaleIDs(&n, &ids));
    ASSERT_EQ(1u, n);
    EXPECT_EQ(0x409u, ids[0]);
    CoTaskMemFree(ids);
}

TEST(SimServer, AddGroupRevisesFastRatesAndRefusesBadDeadbands) {
    IOPCServer* server = KeepAlive::server();
    ASSERT_TRUE(server);
    {
        TestGroup fast(server, 10);
        EXPECT_EQ(OPC_S_UNSUPPORTEDRATE, fast.addResult());
        EXPECT_EQ(50u, fast.revisedRate());
        TestGroup zero(server, 0);
        EXPECT_EQ(OPC_S_UNSUPPORTEDRATE, zero.addResult());
        EXPECT_EQ(50u, zero.revisedRate());
        TestGroup exact(server, 250, 0, TRUE, L"Exact");
        EXPECT_EQ(S_OK, exact.addResult());
        EXPECT_EQ(250u, exact.revisedRate());
        EXPECT_NE(fast.serverHandle(), zero.serverHandle());

        TestGroup twin(server, 250, 0, TRUE, L"Exact");
        EXPECT_EQ(OPC_E_DUPLICATENAME, twin.addResult());
        EXPECT_EQ(nullptr, twin.items());

        ComPtr<IOPCGroupStateMgt> byName;
        ASSERT_EQ(S_OK,
                  server->GetGroupByName(L"Exact", IID_IOPCGroupStateMgt, reinterpret_cast<IUnknown**>(byName.Put())));
        DWORD rate = 0, lcid = 0;
        BOOL active = FALSE;
        LPWSTR name = nullptr;
        LONG bias = 0;
        FLOAT db = -1;
        OPCHANDLE client = 0, handle = 0;
        ASSERT_EQ(S_OK, byName->GetState(&rate, &active, &name, &bias, &db, &lcid, &client, &handle));
        ASSERT_NE(nullptr, name);
        EXPECT_STREQ(L"Exact", name);
        CoTaskMemFree(name);
        EXPECT_EQ(250u, rate);
        EXPECT_EQ(exact.serverHandle(), handle);
        EXPECT_EQ(1u, client);
        EXPECT_EQ(0.0f, db);

        DWORD want = 20, revised = 0;
        EXPECT_EQ(OPC_S_UNSUPPORTEDRATE,
                  byName->SetState(&want, &revised, nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(50u, revised);
        FLOAT bad = 150;
        EXPECT_EQ(E_INVALIDARG, byName->SetState(nullptr, &revised, nullptr, nullptr, &bad, nullptr, nullptr));
        TestGroup other(server, 1000, 0, FALSE, L"Other");
        ASSERT_EQ(S_OK, other.addResult());
        EXPECT_EQ(OPC_E_DUPLICATENAME, byName->SetName(L"Other"));
        EXPECT_EQ(S_OK, byName->SetName(L"Renamed"));
        ComPtr<IOPCItemMgt> renamed;
        EXPECT_EQ(S_OK,
                  server->GetGroupByName(L"Renamed", IID_IOPCItemMgt, reinterpret_cast<IUnknown**>(renamed.Put())));
        EXPECT_EQ(E_INVALIDARG,
                  server->GetGroupByName(L"Exact", IID_IOPCItemMgt, reinterpret_cast<IUnknown**>(renamed.Put())));

        ComPtr<IEnumString> groups;
        ASSERT_EQ(S_OK, server->CreateGroupEnumerator(OPC_ENUM_ALL, IID_IEnumString,
                                                      reinterpret_cast<IUnknown**>(groups.Put())));
        std::vector<std::wstring> names;
        ASSERT_EQ(S_OK, Drain(groups.Get(), 10, names));
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"Renamed"));
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"Other"));
    }
    for (FLOAT bad : {101.0f, -0.5f}) {
        TestGroup g(server, 1000, bad);
        EXPECT_EQ(E_INVALIDARG, g.addResult()) << bad;
        EXPECT_EQ(nullptr, g.items());
        EXPECT_EQ(0u, g.serverHandle());
    }
    EXPECT_EQ(E_INVALIDARG, server->RemoveGroup(0xDEAD, FALSE));
}

}  // namespace
}  // namespace simtest
