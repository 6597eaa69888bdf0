// Browsing both address spaces of the simulation server.
#include "Harness.h"

#include <cstring>

using namespace kbt;

namespace {

class Browser {
  public:
    explicit Browser(const char* progId) : server(Opc().OpcConnectServer("", progId, 0)) {}
    ~Browser() { Opc().OpcDisconnectServer(server); }

    std::vector<std::string> Names(int type) {
        std::vector<std::string> names;
        int n = Opc().OpcBrowseNames(server, type);
        for (int i = 0; i < n; ++i) {
            char buf[200];
            if (Opc().OpcGetBrowseName(server, i, buf, sizeof(buf))) names.push_back(buf);
        }
        return names;
    }
    std::string Id(const char* leaf) {
        char buf[200];
        return Opc().OpcGetItemId(server, leaf, buf, sizeof(buf)) ? buf : "(refused)";
    }
    bool Go(const char* path) { return Opc().OpcSetBrowsePosition(server, path) != 0; }

    const int server;
};

}  // namespace

TEST(Browse, HierarchicalSpaceByFullPaths) {
    Browser b(kHierarchical);
    ASSERT_GT(b.server, 0);
    WORD ns = 0;
    ASSERT_EQ(Opc().OpcGetNamespaceType(b.server, &ns), 1);
    EXPECT_EQ(ns, 1);

    ASSERT_TRUE(b.Go(""));
    auto branches = b.Names(1);
    for (const char* name : {"Plant", "Static", "Quality", "Devices", "Empty", "Control"})
        EXPECT_TRUE(Has(branches, name)) << name;

    ASSERT_TRUE(b.Go("Plant.Line1"));
    auto leaves = b.Names(2);
    EXPECT_EQ(leaves, (std::vector<std::string>{"Temp", "Level", "Counter", "Random"}));
    EXPECT_TRUE(b.Names(1).empty());
    b.Names(2);
    EXPECT_EQ(b.Id("Temp"), "Plant.Line1.Temp");

    // Ids that differ from the browse path; the result survives the id lookups between names.
    ASSERT_TRUE(b.Go("Devices.Boiler"));
    int n = Opc().OpcBrowseNames(b.server, 2);
    ASSERT_EQ(n, 2);
    for (int i = 0; i < n; ++i) {
        char name[200], id[200];
        ASSERT_EQ(Opc().OpcGetBrowseName(b.server, i, name, sizeof(name)), 1);
        ASSERT_EQ(Opc().OpcGetItemId(b.server, name, id, sizeof(id)), 1);
        EXPECT_EQ(std::string(id),
                  std::string("DEV:boiler/") + (std::strcmp(name, "Pressure") == 0 ? "pressure" : "flow"));
    }
    char first[200];
    EXPECT_EQ(Opc().OpcGetBrowseName(b.server, 0, first, sizeof(first)), 1);
    EXPECT_EQ(Opc().OpcGetBrowseName(b.server, n, first, sizeof(first)), 0);

    // The empty branch is a branch: it can be entered and holds nothing.
    ASSERT_TRUE(b.Go("Empty"));
    EXPECT_TRUE(b.Names(2).empty());
    EXPECT_TRUE(b.Names(1).empty());

    // Paths that lead nowhere, or to a leaf, are refused.
    EXPECT_FALSE(b.Go("No.Such.Branch"));
    EXPECT_FALSE(b.Go("Plant.Line1.Temp"));
    EXPECT_FALSE(b.Go("Plant..Line1"));
    ASSERT_TRUE(b.Go(""));
    EXPECT_TRUE(Has(b.Names(1), "Plant"));
}

TEST(Browse, FlatBelowABranchGivesFullItemIds) {
    Browser b(kHierarchical);
    ASSERT_GT(b.server, 0);
    ASSERT_TRUE(b.Go("Plant"));
    auto all = b.Names(3);
    EXPECT_EQ(all.size(), 7u);
    for (const char* id : {"Plant.Line1.Temp", "Plant.Line1.Random", "Plant.Line2.Pressure", "Plant.Line2.State"})
        EXPECT_TRUE(Has(all, id)) << id;
    // Each one is an item id the server accepts as it is.
    Connection c(kHierarchical, 1000);
    ASSERT_TRUE(c.Ok());
    for (const std::string& id : all) EXPECT_NE(c.Add(id.c_str()), -1) << id;
}

TEST(Browse, FlatSpace) {
    Browser b(kFlat);
    ASSERT_GT(b.server, 0);
    WORD ns = 0;
    ASSERT_EQ(Opc().OpcGetNamespaceType(b.server, &ns), 1);
    EXPECT_EQ(ns, 2);
    EXPECT_TRUE(b.Go(""));        // the root of a flat space exists
    EXPECT_FALSE(b.Go("Ramp1"));  // nothing else does
    EXPECT_TRUE(b.Go(""));
    EXPECT_TRUE(b.Names(1).empty());  // no branches, although the server ignores the type
    auto leaves = b.Names(2);
    for (const char* name : {"Ramp1", "Sine1", "Counter1", "Random1", "Switch1", "Text1", "Setpoint1"})
        EXPECT_TRUE(Has(leaves, name)) << name;
    EXPECT_EQ(b.Id("Setpoint1"), "Setpoint1");
}

// Every name getter: a buffer too short is refused with "" and nothing else written, the
// exact size takes the name, no buffer or no size is refused; a failed listing leaves nothing.
TEST(Browse, NameBuffersAreBounded) {
    Browser b(kHierarchical);
    ASSERT_GT(b.server, 0);
    ASSERT_TRUE(b.Go("Plant.Line1"));
    ASSERT_EQ(b.Names(2).front(), "Temp");
    const int servers = Opc().OpcEnumerateServers(1, "");
    int index = 0;
    for (char name[64];
         index < servers && Opc().OpcGetServerName(index, name, sizeof name) && std::strcmp(name, kHierarchical) != 0;)
        ++index;
    ASSERT_LT(index, servers);
    const struct {
        std::string name;
        std::function<int(char*, int)> get;
    } getters[] = {
        {"Temp", [&](char* buf, int n) { return Opc().OpcGetBrowseName(b.server, 0, buf, n); }},
        {"Plant.Line1.Temp", [&](char* buf, int n) { return Opc().OpcGetItemId(b.server, "Temp", buf, n); }},
        {kHierarchical, [&](char* buf, int n) { return Opc().OpcGetServerName(index, buf, n); }},
    };
    char buf[32];
    for (const auto& g : getters) {
        const int need = static_cast<int>(g.name.size()) + 1;
        std::memset(buf, 'x', sizeof(buf));
        EXPECT_EQ(g.get(buf, need - 1), 0) << g.name;
        EXPECT_EQ(std::string(buf, need), '\0' + std::string(need - 1, 'x')) << g.name;
        EXPECT_EQ(g.get(nullptr, 200), 0) << g.name;
        EXPECT_EQ(g.get(buf, 0), 0) << g.name;
        EXPECT_EQ(g.get(buf, -1), 0) << g.name;
        EXPECT_EQ(g.get(buf, need), 1) << g.name;
        EXPECT_EQ(buf, g.name);
    }
    EXPECT_EQ(Opc().OpcGetServerName(servers, buf, sizeof(buf)), 0);
    EXPECT_EQ(Opc().OpcGetServerName(-1, buf, sizeof(buf)), 0);
    EXPECT_EQ(Opc().OpcBrowseNames(b.server, 9), 0);
    EXPECT_EQ(Opc().OpcGetBrowseName(b.server, 0, buf, sizeof(buf)), 0);
}
