// Connections and items: lookups by DDE name (DDEML's comparison, first match), stored
// data changes, advise flags and the teardown order through the library.
#include <gtest/gtest.h>

#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"

using namespace apptest;

namespace {

HSZ Hsz(const char* text) { return ::DdeCreateStringHandleA(App().m_idInst, text, 0); }

CTagItem* NewItem(const char* tag, int hItem) {
    CTagItem* item = new CTagItem;
    item->m_strTagName = tag;
    item->m_hszItem = Hsz(tag);
    item->m_hItem = hItem;
    return item;
}

CServerConnection* NewConnection(const char* alias, int hServer, int hGroup) {
    CServerConnection* conn = new CServerConnection;
    conn->m_strAlias = alias;
    conn->m_hszTopic = Hsz(alias);
    conn->m_hServer = hServer;
    conn->m_hGroup = hGroup;
    return conn;
}

class RecordsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        fakeopc::Install();
        App().m_bDdeSuspended = FALSE;
    }
    void TearDown() override { OpcSetLibraryTable(nullptr); }
};

}  // namespace

TEST_F(RecordsTest, LookupsTakeTheFirstMatchAndIgnoreLetterCase) {
    CTestView view;  // no window: the lookups need none
    CServerConnection* a = NewConnection("Line1", 101, 201);
    CServerConnection* b = NewConnection("LINE1", 102, 202);  // same topic for DDEML
    a->m_items.Add(NewItem("Plant.Temp", 11));
    a->m_items.Add(NewItem("PLANT.TEMP", 12));
    b->m_items.Add(NewItem("Plant.Other", 13));
    view.Connections().Add(a);
    view.Connections().Add(b);

    EXPECT_EQ(view.FindTopic(Hsz("line1")), a);
    EXPECT_EQ(view.FindTopic(Hsz("Line2")), nullptr);
    EXPECT_EQ(a->FindItem(Hsz("plant.temp")), a->GetItem(0));
    EXPECT_EQ(a->FindItem(Hsz("Plant.Other")), nullptr);  // only in the second connection
    EXPECT_EQ(view.FindTopic(nullptr), nullptr);

    // The application forwards to the view, and answers nothing without one.
    EXPECT_EQ(App().FindTopic(Hsz("LINE1")), a);
    App().m_pMainView = nullptr;
    EXPECT_EQ(App().FindTopic(Hsz("Line1")), nullptr);
    EXPECT_FALSE(App().GetItemValue(Hsz("Line1"), Hsz("Plant.Temp"), nullptr));
    EXPECT_EQ(App().WriteItemValue(Hsz("Line1"), Hsz("Plant.Temp"), nullptr), 0);
    App().m_pMainView = &view;
}

TEST_F(RecordsTest, GetItemValueCopiesOrMarksTheFirstMatchingItemOnly) {
    CTestView view;
    CServerConnection* a = NewConnection("T", 101, 201);
    a->m_items.Add(NewItem("I", 11));
    a->m_items.Add(NewItem("i", 12));
    view.Connections().Add(a);
    VARIANT v = R8(2.5);
    ::VariantCopy(&a->GetItem(0)->m_vValue, &v);

    VARIANT out;
    ::VariantInit(&out);
    ASSERT_TRUE(view.GetItemValue(Hsz("t"), Hsz("I"), &out));
    EXPECT_EQ(out.vt, VT_R8);
    EXPECT_DOUBLE_EQ(out.dblVal, 2.5);
    EXPECT_EQ(a->GetItem(0)->m_bAdvisePending, 0);  // a copy marks nothing

    EXPECT_TRUE(view.GetItemValue(Hsz("T"), Hsz("i"), nullptr));
    EXPECT_EQ(a->GetItem(0)->m_bAdvisePending, 1);
    EXPECT_EQ(a->GetItem(1)->m_bAdvisePending, 0);

    EXPECT_FALSE(view.GetItemValue(Hsz("T"), Hsz("missing"), nullptr));
    EXPECT_FALSE(view.GetItemValue(Hsz("missing"), Hsz("I"), nullptr));
    EXPECT_EQ(a->GetItem(1)->m_bAdvisePending, 0);
}

TEST_F(RecordsTest, WriteGoesToTheLibraryEvenWhenDisconnectedAndReturnsItsAnswer) {
    CTestView view;
    CServerConnection* a = NewConnection("T", -1, -1);
    a->m_items.Add(NewItem("I", -1));
    view.Connections().Add(a);
    VARIANT v = R8(1.0);

    fakeopc::S().writeResult = 0;
    EXPECT_EQ(view.WriteItemValue(Hsz("T"), Hsz("I"), &v), 0);
    fakeopc::S().writeResult = 7;
    EXPECT_EQ(view.WriteItemValue(Hsz("T"), Hsz("I"), &v), 7);
    EXPECT_EQ(fakeopc::CallsStartingWith("WriteItem"),
              (std::vector<std::string>{"WriteItem -1 -1 -1 vt=5", "WriteItem -1 -1 -1 vt=5"}));
    EXPECT_EQ(view.WriteItemValue(Hsz("T"), Hsz("nothing"), &v), 0);
    EXPECT_EQ(fakeopc::CallsStartingWith("WriteItem").size(), 2u);
    EXPECT_EQ(a->GetItem(0)->m_vValue.vt, VT_EMPTY);  // a write never stores the value itself
}

TEST_F(RecordsTest, StoreDataChangeUpdatesTheFirstItemWithTheHandleOrNothing) {
    CServerConnection conn;
    conn.m_hszTopic = Hsz("T");
    conn.m_items.Add(NewItem("A", 11));
    conn.m_items.Add(NewItem("B", 12));
    conn.m_items.Add(NewItem("B2", 12));  // same handle: the first takes the change
    FILETIME before = conn.GetItem(1)->m_ftTimeStamp;
    CTime lastUpdate(12345);
    conn.m_tmLastUpdate = lastUpdate;

    VARIANT v = R8(42.0);
    FILETIME ft = {0x11111111, 0x01D00000};
    EXPECT_EQ(conn.StoreDataChange(99, &v, ft, 192), -1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(conn.GetItem(i)->m_vValue.vt, VT_EMPTY);
        EXPECT_EQ(conn.GetItem(i)->m_dwQuality, 0u);
    }
    EXPECT_EQ(conn.GetItem(1)->m_ftTimeStamp.dwLowDateTime, before.dwLowDateTime);
    EXPECT_EQ(conn.m_tmLastUpdate, lastUpdate);

    EXPECT_EQ(conn.StoreDataChange(12, &v, ft, 0xD8), 1);
    EXPECT_EQ(conn.GetItem(1)->m_vValue.vt, VT_R8);
    EXPECT_DOUBLE_EQ(conn.GetItem(1)->m_vValue.dblVal, 42.0);
    EXPECT_EQ(conn.GetItem(1)->m_dwQuality, 0xD8u);  // stored as delivered, no masking
    EXPECT_EQ(conn.GetItem(1)->m_ftTimeStamp.dwHighDateTime, 0x01D00000u);
    EXPECT_EQ(conn.GetItem(2)->m_vValue.vt, VT_EMPTY);
    EXPECT_GT(conn.m_tmLastUpdate, lastUpdate);

    // A text value is copied, not shared: the caller's value may go right after.
    VARIANT s;
    s.vt = VT_BSTR;
    s.bstrVal = ::SysAllocString(L"Running");
    EXPECT_EQ(conn.StoreDataChange(11, &s, ft, 192), 0);
    ::VariantClear(&s);
    ASSERT_EQ(conn.GetItem(0)->m_vValue.vt, VT_BSTR);
    EXPECT_STREQ(conn.GetItem(0)->m_vValue.bstrVal, L"Running");
}

TEST_F(RecordsTest, NewItemIsEmptyBadAndStampedWithItsCreationTime) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    CTagItem item;
    EXPECT_EQ(item.m_vValue.vt, VT_EMPTY);
    EXPECT_EQ(item.m_dwQuality, 0u);
    EXPECT_EQ(item.m_bAdvisePending, 0);
    ULONGLONG t = (ULONGLONG(item.m_ftTimeStamp.dwHighDateTime) << 32) | item.m_ftTimeStamp.dwLowDateTime;
    ULONGLONG n = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    EXPECT_LT(t > n ? t - n : n - t, 50000000ull);  // within 5 s
}

TEST_F(RecordsTest, TeardownRemovesItemsThenGroupThenServer) {
    CServerConnection* conn = NewConnection("T", 5, 7);
    conn->m_items.Add(NewItem("A", 11));
    conn->m_items.Add(NewItem("B", -1));  // refused by the library when added: still removed
    delete conn;
    EXPECT_EQ(fakeopc::S().calls, (std::vector<std::string>{"RemoveItem 5 7 11", "RemoveItem 5 7 -1",
                                                              "RemoveGroup 5 7", "DisconnectServer 5"}));
}

TEST_F(RecordsTest, TeardownOfADisconnectedConnectionPassesMinusOneAndSkipsGroupAndServer) {
    CServerConnection* conn = NewConnection("T", -1, -1);
    conn->m_items.Add(NewItem("A", 11));
    delete conn;
    EXPECT_EQ(fakeopc::S().calls, (std::vector<std::string>{"RemoveItem -1 -1 11"}));

    // Without a library at all nothing is called and nothing breaks.
    OpcSetLibraryTable(&OpcFailingTable());
    CServerConnection* lone = NewConnection("T", 5, 7);
    lone->m_items.Add(NewItem("A", 11));
    delete lone;
    EXPECT_EQ(OpcConnectServer("", "x", 0), -1);
    EXPECT_EQ(OpcAddItem(5, 7, "x"), -1);
    EXPECT_EQ(OpcWriteItem(-1, -1, -1, nullptr, 0), 0);
    EXPECT_EQ(OpcEnumerateServers(1, ""), 0);
}

TEST_F(RecordsTest, ServerShutdownKeepsItemsWithBadQualityAndDropsHandles) {
    CServerConnection conn;
    conn.m_hszTopic = Hsz("T");
    conn.m_hServer = 5;
    conn.m_hGroup = 7;
    conn.m_items.Add(NewItem("A", 11));
    VARIANT v = R8(3.0);
    conn.StoreDataChange(11, &v, FILETIME{1, 2}, 192);
    fakeopc::S().calls.clear();

    conn.HandleServerShutdown();
    EXPECT_EQ(fakeopc::S().calls,
              (std::vector<std::string>{"RemoveItem 5 7 11", "RemoveGroup 5 7", "DisconnectServer 5"}));
    EXPECT_EQ(conn.m_hServer, -1);
    EXPECT_EQ(conn.m_hGroup, -1);
    ASSERT_EQ(conn.GetItemCount(), 1);
    EXPECT_EQ(conn.GetItem(0)->m_dwQuality, 0u);
    EXPECT_DOUBLE_EQ(conn.GetItem(0)->m_vValue.dblVal, 3.0);  // the last value stays
    EXPECT_STREQ(conn.m_strStatus, "<<<<<<< Server Requested Disconnect >>>>>>>>>");
    fakeopc::S().calls.clear();
    conn.m_items.RemoveAt(0);  // keep the destructor's calls out of the picture
}

TEST_F(RecordsTest, FlushClearsPendingMarksAlsoWhileSuspended) {
    CServerConnection conn;
    conn.m_hszTopic = Hsz("T");
    conn.m_items.Add(NewItem("A", 11));
    conn.m_items.Add(NewItem("B", 12));
    conn.GetItem(1)->m_bAdvisePending = 1;
    App().m_bDdeSuspended = TRUE;
    conn.FlushPendingAdvises();
    EXPECT_EQ(conn.GetItem(1)->m_bAdvisePending, 0);
    App().m_bDdeSuspended = FALSE;
    EXPECT_TRUE(App().PostAdvise(conn.m_hszTopic, conn.GetItem(0)->m_hszItem));  // always TRUE
}
