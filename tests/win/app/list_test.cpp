// The connection list without a window: lookups through its indexes (DDEML's names,
// first match, kept right across deletes and reconnects), the links counted by name,
// stored data changes with their advise and row callback, teardown order and the
// shutdown of a connection.
#include <gtest/gtest.h>

#include "opc/Notifications.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"

using namespace apptest;

namespace {

struct Listener : IConnectionListener {
    void OnRowChanged(CServerConnection* conn, int row) override { rows.emplace_back(conn, row); }
    std::vector<std::pair<CServerConnection*, int>> rows;
};

class ListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakeopc::Install();
        Gate().Suspend(FALSE);
        list.SetAdviseGate(&Gate());
        list.Attach(&listener, nullptr);
    }
    void TearDown() override {
        list.RemoveAll();
        OpcSetLibraryTable(nullptr);
    }
    // A connection to server hServer (-1: disconnected) with the given tags, handles from 301.
    CServerConnection* Add(const char* alias, int hServer, std::initializer_list<const char*> tags) {
        auto* conn = new CServerConnection(list.DdeInstance(), "", "Sim", alias);
        for (const char* t : tags) conn->AddItem(new CTagItem(t));
        list.Add(conn);
        if (hServer != -1) {
            fakeopc::S().nextServer = hServer;
            EXPECT_TRUE(list.Open(conn, OpcConnectServer("", "Sim", 0)));
        }
        return conn;
    }
    BOOL Store(int hServer, int hItem, VARIANT v) { return list.StoreDataChange(hServer, hItem, &v, {1, 2}, 192); }

    Listener listener;
    CConnectionList list;
};

}  // namespace

TEST_F(ListTest, LookupsTakeTheFirstMatchIgnoreCaseAndFollowDeletes) {
    CServerConnection* a = Add("Line1", 101, {"Plant.Temp", "PLANT.TEMP", "X"});
    CServerConnection* b = Add("LINE1", 102, {"Plant.Other"});  // the same topic for DDEML
    EXPECT_EQ(list.FindTopic(Hsz("line1")), a);
    EXPECT_EQ(list.FindTopic(Hsz("Line2")), nullptr);
    EXPECT_EQ(list.FindTopic(nullptr), nullptr);
    EXPECT_EQ(a->FindItem("plant.temp"), a->GetItem(0));
    EXPECT_EQ(a->FindItem("Plant.Other"), nullptr);  // only in the second connection
    EXPECT_EQ(list.FindServer(102), b);

    // After a delete the rows behind it move up, and the twin name is found in its place.
    list.RemoveItem(a, 0);
    EXPECT_EQ(a->FindItem("Plant.Temp"), a->GetItem(0));
    EXPECT_EQ(a->FindRow(303), 1);
    EXPECT_EQ(a->FindRow(301), -1);
    list.RemoveAt(0);
    EXPECT_EQ(list.FindTopic(Hsz("Line1")), b);
    EXPECT_EQ(list.FindServer(101), nullptr);
}

TEST_F(ListTest, ReadsCopyTheFirstItemAndWritesGoToTheLibrary) {
    CServerConnection* a = Add("T", -1, {"I", "i"});
    VARIANT v = R8(2.5);
    ::VariantCopy(&a->GetItem(0)->m_vValue, &v);
    VARIANT out;
    ::VariantInit(&out);
    ASSERT_TRUE(list.GetItemValue(Hsz("t"), Hsz("I"), &out));
    EXPECT_DOUBLE_EQ(out.dblVal, 2.5);
    EXPECT_EQ(a->GetItem(0)->m_bAdvisePending, 0);  // a copy marks nothing
    EXPECT_FALSE(a->GetItem(0)->IsLinked());
    EXPECT_FALSE(list.GetItemValue(Hsz("T"), Hsz("missing"), nullptr));
    EXPECT_FALSE(list.GetItemValue(Hsz("missing"), Hsz("I"), nullptr));

    // Disconnected too: the library answers for its -1 handles; the value is not stored.
    fakeopc::S().writeResult = 7;
    EXPECT_EQ(list.WriteItemValue(Hsz("T"), Hsz("I"), &v), 7);
    EXPECT_EQ(list.WriteItemValue(Hsz("T"), Hsz("nothing"), &v), 0);
    EXPECT_EQ(fakeopc::CallsStartingWith("WriteItem"), (std::vector<std::string>{"WriteItem -1 -1 -1 vt=5"}));
    EXPECT_DOUBLE_EQ(a->GetItem(0)->m_vValue.dblVal, 2.5);
}

TEST_F(ListTest, DataChangesGoToTheFirstItemWithTheHandleAndTellTheRow) {
    CServerConnection* conn = Add("T", 101, {"A", "B"});

    EXPECT_FALSE(Store(101, 999, R8(1)));  // unknown item
    EXPECT_FALSE(Store(999, 302, R8(1)));  // unknown server
    EXPECT_TRUE(listener.rows.empty());
    EXPECT_EQ(conn->m_tmLastUpdate, CTime());

    VARIANT s;
    s.vt = VT_BSTR;
    s.bstrVal = ::SysAllocString(L"Running");
    EXPECT_TRUE(list.StoreDataChange(101, 302, &s, {0x11, 0x01D00000}, 0xD8));
    ::VariantClear(&s);  // the item holds its own copy
    ASSERT_EQ(conn->GetItem(1)->m_vValue.vt, VT_BSTR);
    EXPECT_STREQ(conn->GetItem(1)->m_vValue.bstrVal, L"Running");
    EXPECT_EQ(conn->GetItem(1)->m_dwQuality, 0xD8u);  // as delivered, no masking
    EXPECT_EQ(conn->GetItem(1)->m_ftTimeStamp.dwHighDateTime, 0x01D00000u);
    EXPECT_EQ(conn->GetItem(0)->m_vValue.vt, VT_EMPTY);
    EXPECT_NE(conn->m_tmLastUpdate, CTime());
    EXPECT_EQ(listener.rows, (std::vector<std::pair<CServerConnection*, int>>{{conn, 1}}));
    EXPECT_NE(std::string(conn->StatusText()).find("    Last Updated: "), std::string::npos);

    // Inside a DDE callback the advise of a linked item waits: the item is marked and
    // flushed after it. An item no client linked has no advise to wait for.
    Gate().EnterCallback();
    Store(101, 301, R8(3));
    EXPECT_EQ(conn->GetItem(0)->m_bAdvisePending, 0);
    std::string key;
    ASSERT_TRUE(list.StartLink(Hsz("T"), Hsz("A"), &key));
    conn->GetItem(0)->m_bAdvisePending = 0;  // the link's own first value aside
    Store(101, 301, R8(4));
    Gate().LeaveCallback();
    EXPECT_EQ(conn->GetItem(0)->m_bAdvisePending, 1);
    Gate().Suspend(TRUE);  // a flush clears the marks also while suspended
    list.FlushPendingAdvises();
    EXPECT_EQ(conn->GetItem(0)->m_bAdvisePending, 0);
    list.EndLink(key);
}

// A gate with room for so many posts, as the real one has while its posting window lasts.
struct RoomGate : IAdviseGate {
    DWORD DdeInstance() const override { return Gate().DdeInstance(); }
    BOOL Advise(HSZ, HSZ hszItem) override {
        if (room == 0) return FALSE;
        --room;
        char name[64] = {};
        ::DdeQueryStringA(DdeInstance(), hszItem, name, sizeof name, CP_WINANSI);
        posted += name;
        return TRUE;
    }
    int room = 0;
    std::string posted;
};

TEST_F(ListTest, HeldBackAdvisesWaitOnceAndTakeTheirTurn) {
    RoomGate gate;
    list.SetAdviseGate(&gate);
    CServerConnection* conn = Add("T", 101, {"A", "B", "C", "D"});
    std::vector<std::string> keys(4);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(list.StartLink(Hsz("T"), Hsz(conn->GetItem(i)->m_strTagName), &keys[i]));

    gate.room = 2;  // the new links' first values: two fit, the flush stops at C
    list.FlushPendingAdvises();
    EXPECT_EQ(gate.posted, "AB");
    Store(101, 301, R8(1));  // held back: A waits, once, for the value it will then have
    Store(101, 301, R8(2));
    EXPECT_EQ(conn->GetItem(0)->m_bAdvisePending, 1);
    gate.room = 1;
    Store(101, 302, R8(3));  // room again: B goes at once
    EXPECT_EQ(gate.posted, "ABB");
    gate.room = 9;  // the next flush goes on at C and comes round to A
    list.FlushPendingAdvises();
    EXPECT_EQ(gate.posted, "ABBCDA");
    EXPECT_DOUBLE_EQ(conn->GetItem(0)->m_vValue.dblVal, 2);
    for (const std::string& k : keys) list.EndLink(k);
    list.SetAdviseGate(&Gate());
}

TEST_F(ListTest, LinksLendTheNamesHandleToTheFirstItemUntilTheLastEnds) {
    CServerConnection* a = Add("T", -1, {"I", "i", "J"});
    std::string k1, k2, none;
    ASSERT_TRUE(list.StartLink(Hsz("t"), Hsz("I"), &k1));
    ASSERT_TRUE(list.StartLink(Hsz("T"), Hsz("i"), &k2));  // the same name for DDEML
    EXPECT_EQ(k1, k2);
    EXPECT_FALSE(list.StartLink(Hsz("T"), Hsz("missing"), &none));
    EXPECT_EQ(list.LinkedNameCount(), 1);
    EXPECT_TRUE(a->GetItem(0)->IsLinked());
    EXPECT_EQ(a->GetItem(0)->m_bAdvisePending, 1);  // its first value at the next flush
    EXPECT_FALSE(a->GetItem(1)->IsLinked());
    list.EndLink(k1);
    EXPECT_TRUE(a->GetItem(0)->IsLinked());
    list.EndLink(k2);
    EXPECT_FALSE(a->GetItem(0)->IsLinked());
    EXPECT_EQ(list.LinkedNameCount(), 0);

    // A deleted item leaves its links' count; the twin answers the name at the next start.
    ASSERT_TRUE(list.StartLink(Hsz("T"), Hsz("I"), &k1));
    list.RemoveItem(a, 0);
    EXPECT_FALSE(a->GetItem(0)->IsLinked());
    ASSERT_TRUE(list.StartLink(Hsz("T"), Hsz("I"), &k2));
    list.EndLink(k1);
    EXPECT_TRUE(a->GetItem(0)->IsLinked());
    list.EndLink(k2);
    EXPECT_FALSE(a->GetItem(0)->IsLinked());
    ASSERT_TRUE(list.StartLink(Hsz("T"), Hsz("J"), &k1));
    list.RemoveAt(0);  // the links outlive their connection
    list.EndLink(k1);
    EXPECT_EQ(list.LinkedNameCount(), 0);
}

TEST_F(ListTest, TeardownRemovesItemsThenGroupThenServer) {
    CServerConnection* conn = Add("T", 5, {"A", "B"});
    conn->GetItem(1)->m_hItem = -1;  // refused by the library when added: still removed
    fakeopc::S().calls.clear();
    list.RemoveAt(0);
    EXPECT_EQ(fakeopc::S().calls, (std::vector<std::string>{"RemoveItem 5 201 301", "RemoveItem 5 201 -1",
                                                            "RemoveGroup 5 201", "DisconnectServer 5"}));
    Add("T", -1, {"A"})->GetItem(0)->m_hItem = 11;
    fakeopc::S().calls.clear();
    list.RemoveAt(0);  // disconnected: -1 handles, no group, no server
    EXPECT_EQ(fakeopc::S().calls, (std::vector<std::string>{"RemoveItem -1 -1 11"}));
}

TEST_F(ListTest, ClosingKeepsItemsWithBadQualityAndSaysWhy) {
    CServerConnection* conn = Add("T", 5, {"A"});
    Store(5, 301, R8(3.0));
    fakeopc::S().calls.clear();
    list.Close(conn, FALSE);
    EXPECT_EQ(fakeopc::S().calls,
              (std::vector<std::string>{"RemoveItem 5 201 301", "RemoveGroup 5 201", "DisconnectServer 5"}));
    EXPECT_EQ(conn->m_hServer, -1);
    EXPECT_EQ(conn->GetItem(0)->m_dwQuality, 0u);
    EXPECT_DOUBLE_EQ(conn->GetItem(0)->m_vValue.dblVal, 3.0);  // the last value stays
    EXPECT_STREQ(conn->StatusText(), "<<<<<<< Server Requested Disconnect >>>>>>>>>");
    EXPECT_EQ(list.FindServer(5), nullptr);
    EXPECT_FALSE(Store(5, 301, R8(4)));  // the old handles find nothing

    // A server the library reported lost says so, once.
    OpcLibraryProc(KOBRIX_NOTE_SERVER_LOST, 6);
    EXPECT_TRUE(TakeServerLost(6));
    EXPECT_FALSE(TakeServerLost(6));
    list.Close(Add("U", 6, {}), TRUE);
    EXPECT_STREQ(list.GetAt(1)->StatusText(), "<<<<<<< Connection to Server Lost >>>>>>>>>");
}
