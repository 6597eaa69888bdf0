// Server object and items: what the OPC client library and the bridge rely on and do not
// check themselves: refused deadbands, the fixed qualities the list shows, and writes the
// tag's type cannot take.
#include <gtest/gtest.h>

#include "sim_client.h"

namespace simtest {
namespace {

// The settled rate and deadband come back through the library (kobrix_tests Data.*); the
// refusals and the handles are checked here.
TEST(SimServer, AddGroupRefusesBadDeadbandsAndGivesEachGroupItsHandle) {
    IOPCServer* server = KeepAlive::server();
    ASSERT_TRUE(server);
    TestGroup one(server, 1000), two(server, 1000);
    ASSERT_EQ(S_OK, one.addResult());
    ASSERT_EQ(S_OK, two.addResult());
    EXPECT_NE(one.serverHandle(), two.serverHandle());
    for (FLOAT bad : {101.0f, -0.5f}) {
        TestGroup g(server, 1000, bad);
        EXPECT_EQ(E_INVALIDARG, g.addResult()) << bad;
        EXPECT_EQ(nullptr, g.items());
    }
    EXPECT_EQ(E_INVALIDARG, server->RemoveGroup(0xDEAD, FALSE));
}

// The list shows each value's quality; an inactive group's cache is out of service.
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
    Variant text;
    text.SetText(L"not a number");
    EXPECT_EQ(OPC_E_BADTYPE, g.write(i4, text.Ref()));
    EXPECT_EQ(OPC_E_RANGE, g.write(ui1, qvtest::MakeVariant(VT_I4, 300)));
    Variant v;
    WORD q;
    ASSERT_EQ(S_OK, g.read(ui1, v, q));
    EXPECT_EQ(200, v.Ref().bVal);
}

}  // namespace
}  // namespace simtest
