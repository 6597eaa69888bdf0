// The DLL's export table, and the refusal of -1 and unknown handles by every operation.
#include "Harness.h"

#include <set>
#include <thread>

using namespace kbt;

namespace {

// Names in the export table of a loaded module.
std::set<std::string> ExportNames(HMODULE module) {
    std::set<std::string> names;
    auto base = reinterpret_cast<const BYTE*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

}  // namespace

TEST(Exports, ExactlyTheEighteenDecoratedNames) {
    HMODULE module = GetModuleHandleA("KOBRIX2.dll");
    ASSERT_NE(module, nullptr);
    const std::set<std::string> expected = {"_KOBRIX20343@8",  "_KOBRIX20247@12", "_KOBRIX20989@12", "_KOBRIX20133@4",
                                            "_KOBRIX20360@16", "_KOBRIX20673@8",  "_KOBRIX20931@12", "_KOBRIX20764@12",
                                            "_KOBRIX20057@12", "_KOBRIX20481@20", "_KOBRIX23400X@8", "_KOBRIX21927@8",
                                            "_KOBRIX21956@4",  "_KOBRIX20204@8",  "_KOBRIX20205@8",  "_KOBRIX20444@16",
                                            "_KOBRIX20206@16", "_KOBRIX20202@8"};
    EXPECT_EQ(ExportNames(module), expected);
    kobrix::Binding fresh;
    EXPECT_TRUE(fresh.Load()) << fresh.Error();
}

TEST(Refusals, MinusOneAndUnknownHandlesChangeNothing) {
    Connection c(kHierarchical, 100);
    int counter = c.Add("Plant.Line1.Counter");
    int setpoint = c.Add("Static.R8");
    ASSERT_TRUE(counter != -1 && setpoint != -1);
    Connection other(kHierarchical, 100);
    ASSERT_TRUE(other.Ok());
    auto& opc = Opc();
    const int unknown = 0x7ffffff0;
    char buf[200];
    WORD ns = 77;
    DWORD rate = 100;
    float band = 0;
    VARIANT v = MakeVariant(VT_R8, 1.5);

    EXPECT_EQ(opc.OpcConnectServer("", "No.Such.Server.1", 0), -1);
    EXPECT_EQ(opc.OpcConnectServer("", "", 0), -1);
    EXPECT_EQ(opc.OpcConnectServer("", nullptr, 0), -1);
    EXPECT_EQ(opc.OpcConnectServer(nullptr, nullptr, 0), -1);
    for (int bad : {-1, 0, unknown}) {
        EXPECT_EQ(opc.OpcAddGroup(bad, "G", &rate, &band), -1);
        EXPECT_EQ(opc.OpcAddItem(bad, c.group, "Static.R8"), -1);
        EXPECT_EQ(opc.OpcAddItem(c.server, bad, "Static.R8"), -1);
        EXPECT_EQ(opc.OpcWriteItem(bad, c.group, setpoint, &v, 0), 0);
        EXPECT_EQ(opc.OpcWriteItem(c.server, bad, setpoint, &v, 0), 0);
        EXPECT_EQ(opc.OpcWriteItem(c.server, c.group, bad, &v, 0), 0);
        EXPECT_EQ(opc.OpcSetBrowsePosition(bad, ""), 0);
        EXPECT_EQ(opc.OpcBrowseNames(bad, 1), 0);
        EXPECT_EQ(opc.OpcGetBrowseName(bad, 0, buf, sizeof(buf)), 0);
        EXPECT_EQ(opc.OpcGetItemId(bad, "Temp", buf, sizeof(buf)), 0);
        EXPECT_EQ(opc.OpcGetNamespaceType(bad, &ns), 0);
        opc.OpcRemoveItem(bad, c.group, counter);
        opc.OpcRemoveItem(c.server, bad, counter);
        opc.OpcRemoveItem(c.server, c.group, bad);
        opc.OpcRemoveGroup(bad, c.group);
        opc.OpcRemoveGroup(c.server, bad);
        opc.OpcRefreshGroup(bad, c.group, 0);
        opc.OpcRefreshGroup(c.server, bad, 1);
        opc.OpcSetDataChangeCallback(bad, nullptr);
        opc.OpcSetShutdownCallback(bad, nullptr);
        opc.OpcDisconnectServer(bad);
    }
    EXPECT_EQ(ns, 77);
    // Handles of one connection mean nothing to another.
    EXPECT_EQ(opc.OpcWriteItem(other.server, c.group, setpoint, &v, 0), 0);
    opc.OpcRemoveItem(other.server, c.group, counter);
    opc.OpcRemoveGroup(other.server, c.group);
    // Null pointers and odd arguments.
    EXPECT_EQ(opc.OpcAddGroup(c.server, "G", nullptr, &band), -1);
    EXPECT_EQ(opc.OpcAddGroup(c.server, "G", &rate, nullptr), -1);
    EXPECT_EQ(opc.OpcAddItem(c.server, c.group, nullptr), -1);
    EXPECT_EQ(opc.OpcWriteItem(c.server, c.group, setpoint, nullptr, 0), 0);
    EXPECT_EQ(opc.OpcGetNamespaceType(c.server, nullptr), 0);
    EXPECT_EQ(opc.OpcSetBrowsePosition(c.server, nullptr), 0);
    EXPECT_EQ(opc.OpcBrowseNames(c.server, 4), 0);
    EXPECT_EQ(opc.OpcGetItemId(c.server, nullptr, buf, sizeof(buf)), 0);
    opc.OpcRefreshGroup(c.server, c.group, 7);
    opc.OpcSetLibraryCallback(nullptr);

    // The connection is untouched: data still flows to its callback under its handles.
    g_changes.clear();
    EXPECT_TRUE(WaitUntil([&] { return ChangesOf(counter).size() >= 2; }, 3000));
    for (const Change& ch : g_changes) {
        if (ch.item == counter) {
            EXPECT_EQ(ch.server, c.server);
            EXPECT_EQ(ch.group, c.group);
        }
    }
    EXPECT_EQ(c.Write(setpoint, MakeVariant(VT_R8, 1234.5678)), 1);
}

TEST(Refusals, OtherThreadsAreRefused) {
    Connection c(kHierarchical, 100);
    int setpoint = c.Add("Static.R8");
    ASSERT_NE(setpoint, -1);
    int connected = 0, written = 1, names = 1;
    VARIANT v = MakeVariant(VT_R8, 1234.5678);
    std::thread worker([&] {
        connected = Opc().OpcConnectServer("", kHierarchical, 0);
        written = Opc().OpcWriteItem(c.server, c.group, setpoint, &v, 0);
        names = Opc().OpcEnumerateServers(1, "");
        Opc().OpcRemoveItem(c.server, c.group, setpoint);
    });
    worker.join();
    EXPECT_EQ(connected, -1);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(names, 0);
    // The removal from the other thread had no effect.
    EXPECT_EQ(c.Write(setpoint, v), 1);
}

TEST(Refusals, HandlesAreNeverZeroNorReused) {
    std::set<int> servers, groups, items;
    for (int round = 0; round < 3; ++round) {
        Connection c(kHierarchical, 1000);
        ASSERT_TRUE(c.Ok());
        EXPECT_GT(c.server, 0);
        EXPECT_GT(c.group, 0);
        EXPECT_TRUE(servers.insert(c.server).second);
        EXPECT_TRUE(groups.insert(c.group).second);
        for (int i = 0; i < 2; ++i) {
            int item = c.Add("Static.R8");  // the same id twice: two items
            ASSERT_GT(item, 0);
            EXPECT_TRUE(items.insert(item).second);
        }
        Opc().OpcRemoveItem(c.server, c.group, c.items.back());
        c.items.pop_back();
        int again = c.Add("Static.R8");
        EXPECT_TRUE(items.insert(again).second);
    }
}
