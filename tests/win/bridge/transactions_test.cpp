// DDE transactions against the running bridge: connects, hot links and their first
// values, value encodings, the data-change road, pokes of every cell type into every
// item type, refused writes, malformed blocks, and the transactions it does not serve.
// Negative checks end on a later event the same road would have delivered after the one
// that must not come.
// One quorvane.exe serves the whole suite; tests that poke restore nothing, so each
// test reads the current state it relies on through its own links.
#include <gtest/gtest.h>

#include "tests/win/bridge/bridge_env.h"

namespace {

using qvdde::Cell;
using qvdde::CellKind;
using qvtest::kTestFormat;

const char kTopic[] = "Line1";

class BridgeTransactions : public bridge::SharedBridge<BridgeTransactions> {
  public:
    static std::vector<qvtest::ConfigConnection> Connections() {
        std::vector<std::string> items = {"Plant.Line1.Counter", "Plant.Line1.Temp", "Plant.Line2.Running",
                                          "Plant.Line2.State",   "Static.ReadOnly",  "Control.RefuseWrites"};
        for (const std::string& s : bridge::StaticItems()) items.push_back(s);
        return {bridge::Conn(kTopic, items)};
    }

  protected:
    void SetUp() override {
        SharedBridge::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(client_.ok());
        conv_ = bridge::Open(client_, kTopic);
        ASSERT_TRUE(conv_);
        // Pokes go through a conversation of their own: Wine's client reports a poke as
        // refused when advise data arrives on the same conversation while it waits.
        poke_ = bridge::Open(pokeClient_, kTopic);
        ASSERT_TRUE(poke_);
    }
    qvdde::Result Poke(const std::string& item, const std::vector<uint8_t>& block) {
        return poke_->Poke(item, kTestFormat, block);
    }

    // Starts a hot link and waits for its first value.
    Cell Link(const std::string& item) { return FirstValue(client_, *conv_, item); }
    // The same on a conversation of its own, which ends with the call. Wine's client reports
    // an advise start as refused when data of another link of its conversation arrives
    // while it waits: a link on a changing item must not share the conversation of later ones.
    Cell LinkAlone(const std::string& item) {
        qvdde::DdeClient client;
        auto conv = bridge::Open(client, kTopic);
        EXPECT_TRUE(conv);
        return conv ? FirstValue(client, *conv, item) : Cell();
    }
    static Cell FirstValue(qvdde::DdeClient& client, qvdde::Conversation& conv, const std::string& item) {
        qvdde::Result r = conv.StartAdvise(item, kTestFormat);
        EXPECT_TRUE(r.ok) << "advise start on " << item << ": " << qvdde::ErrorName(r.error);
        auto a = qvtest::WaitForAny(client, item, 3000);
        EXPECT_TRUE(a) << "no first value for " << item;
        if (!a) return Cell();
        auto cell = qvtest::CellOf(*a);
        EXPECT_TRUE(cell) << "first value of " << item << " is not XlTable: " << qvtest::Show(*a);
        return cell ? *cell : Cell();
    }

    qvdde::DdeClient client_, pokeClient_;
    std::unique_ptr<qvdde::Conversation> conv_, poke_;
};

bool NumberIs(const Cell& c, double v) { return c.kind == CellKind::Number && c.number == v; }

// Advises of `item` among those seen.
template <class Advises>
int CountOf(const Advises& seen, const std::string& item) {
    int n = 0;
    for (const auto& a : seen) n += qvtest::SameName(a.item, item);
    return n;
}

// Connects only to its service and known topics, whatever their case; refuses advise
// starts, pokes and one-shot requests on unknown items, and executes altogether.
TEST_F(BridgeTransactions, RefusesWhatItDoesNotServe) {
    // Wine's DDEML refuses a second conversation of one instance on the same service and
    // topic, so the accepted connects are made from instances of their own.
    qvdde::DdeClient other;
    UINT err = 0;
    EXPECT_FALSE(other.Connect("NotQuorvane", kTopic, &err)) << "another service answered";
    EXPECT_FALSE(other.Connect("Quorvane", "NoSuchAlias", &err)) << "an unknown topic was accepted";
    EXPECT_EQ(UINT(DMLERR_NO_CONV_ESTABLISHED), err);
    EXPECT_FALSE(other.Connect("Quorvane", "System", &err)) << "the System topic was accepted";
    EXPECT_TRUE(other.Connect("Quorvane", "line1", &err)) << qvdde::ErrorName(err);
    qvdde::DdeClient third;
    EXPECT_TRUE(third.Connect("QUORVANE", "LINE1", &err)) << qvdde::ErrorName(err);

    EXPECT_FALSE(conv_->StartAdvise("Plant.Line9.Nothing", kTestFormat).ok) << "advise start on an unknown item";
    EXPECT_FALSE(Poke("Plant.Line9.Nothing", qvdde::EncodeXlTable(Cell::Number(1))).ok) << "poke to an unknown item";
    std::vector<uint8_t> data;
    EXPECT_FALSE(conv_->Request("Plant.Line9.Nothing", kTestFormat, &data).ok) << "a request got " << data.size();
    EXPECT_FALSE(conv_->Request("Plant.Line9.Nothing", CF_TEXT, &data).ok) << "a request got " << data.size();
    EXPECT_FALSE(conv_->Execute("[Quit]").ok) << "an execute was acknowledged";
    EXPECT_TRUE(bridge_->app().process().running());
}

// Static.ReadOnly never changes, so only the pending-advise flush can deliver it: within
// about a second, once to each of two clients that start their links together, whatever
// the case of the item name, and never again.
TEST_F(BridgeTransactions, NewLinksGetTheCurrentValueOnceWithinAboutASecond) {
    qvdde::DdeClient otherClient;
    auto second = bridge::Open(otherClient, kTopic);
    ASSERT_TRUE(second);
    const ULONGLONG t0 = GetTickCount64();
    ASSERT_TRUE(conv_->StartAdvise("static.readonly", kTestFormat).ok);
    ASSERT_TRUE(second->StartAdvise("Static.ReadOnly", kTestFormat).ok);
    std::vector<qvdde::Advise> seen;
    auto a = qvtest::WaitForAny(client_, "Static.ReadOnly", 3000, &seen);
    const ULONGLONG waited = GetTickCount64() - t0;
    ASSERT_TRUE(a) << "no first value within 3 s";
    EXPECT_LE(waited, 1500u) << "the first value took " << waited << " ms";
    EXPECT_EQ(kTestFormat, a->format) << "the block must be labelled with the format asked for";
    // 42.0 as a one-cell XlTable float (its layout: QvddeCodec.*).
    EXPECT_EQ(qvdde::EncodeXlTable(Cell::Number(42)), a->data);

    // A link started later is served by a later flush, which would repeat any value still
    // held as pending. Both instances live on this thread: waiting for one serves both.
    ASSERT_TRUE(conv_->StartAdvise("Static.BSTR", kTestFormat).ok);
    ASSERT_TRUE(qvtest::WaitForAny(client_, "Static.BSTR", 5000, &seen));
    EXPECT_EQ(0, CountOf(seen, "Static.ReadOnly"));
    EXPECT_EQ(1, CountOf(otherClient.queue(), "Static.ReadOnly"));
}

TEST_F(BridgeTransactions, ValuesAreEncodedByTheirType) {
    Cell counter = LinkAlone("Plant.Line1.Counter");
    EXPECT_EQ(CellKind::Number, counter.kind) << "an I4 goes out as a number";
    EXPECT_EQ(counter.number, double(long(counter.number)));
    EXPECT_EQ(CellKind::Number, LinkAlone("Plant.Line1.Temp").kind);
    EXPECT_EQ(CellKind::Bool, LinkAlone("Plant.Line2.Running").kind) << "a VT_BOOL goes out as a boolean";
    Cell state = LinkAlone("Plant.Line2.State");
    EXPECT_EQ(CellKind::Text, state.kind) << "a VT_BSTR goes out as text";
    EXPECT_FALSE(state.text.empty());
    EXPECT_EQ(CellKind::Number, Link("Static.DATE").kind) << "a date goes out as its OLE date number";

    // In the registered XlTable format too (the client applies Wine's sign-extension fix).
    const UINT xl = RegisterClipboardFormatA("XlTable");
    ASSERT_GE(xl, 0xC000u);
    ASSERT_TRUE(conv_->StartAdvise("Static.ReadOnly", xl).ok);
    auto a = qvtest::WaitForAny(client_, "Static.ReadOnly", 3000);
    ASSERT_TRUE(a) << "no value in the registered XlTable format";
    EXPECT_EQ(xl, a->format);
    auto cell = qvtest::CellOf(*a);
    ASSERT_TRUE(cell);
    EXPECT_TRUE(NumberIs(*cell, 42));
}

TEST_F(BridgeTransactions, CounterChangesArriveAtOnceAndInOrderAtTheGroupRate) {
    Link("Plant.Line1.Counter");
    // The tick that follows the advise start may post the item once more; a link started
    // now gets its first value from that tick or the next, so from then on every advise is
    // a change. The group runs at 200 ms, and each change is posted at once.
    LinkAlone("Static.ReadOnly");
    client_.queue().clear();
    std::vector<qvdde::Advise> counter;
    while (counter.size() < 10) {
        auto a = qvtest::WaitForAny(client_, "Plant.Line1.Counter", 5000);
        ASSERT_TRUE(a) << "no change within 5 s after " << counter.size();
        counter.push_back(std::move(*a));
    }
    double last = -1;
    for (size_t i = 0; i < counter.size(); ++i) {
        auto cell = qvtest::CellOf(counter[i]);
        ASSERT_TRUE(cell && cell->kind == CellKind::Number) << qvtest::Show(counter[i]);
        if (i > 0) {
            EXPECT_GT(cell->number, last) << "advise " << i << " went backwards or repeated";
            const double ms = double(counter[i].received - counter[i - 1].received) / 1e4;
            EXPECT_LT(ms, 700.0) << "advise " << i << " came " << ms << " ms after the previous one";
        }
        last = cell->number;
    }
}

// One poke: the block, the item, and what the link must then show.
struct PokeCase {
    const char* item;
    Cell cell;
    Cell expect;
};

TEST_F(BridgeTransactions, PokesOfEveryCellTypeAreConvertedWrittenAndComeBack) {
    // Each cell kind once, into items of other types; the conversions themselves are the
    // decoder's and the conversion table's (core_tests XlTableDecode.*, VariantConversion.*).
    const PokeCase cases[] = {
        {"Static.R8", Cell::Text("7.25"), Cell::Number(7.25)},
        {"Static.BSTR", Cell::Number(5), Cell::Text("5")},
        {"Static.BOOL", Cell::Int(0), Cell::Bool(false)},
        {"Static.I4", Cell::Bool(true), Cell::Number(1)},
        {"Static.UI4", Cell::Number(3000000000.0), Cell::Number(3000000000.0)},
        {"Static.DATE", Cell::Number(45000.25), Cell::Number(45000.25)},
    };
    for (const PokeCase& c : cases) Link(c.item);
    for (const PokeCase& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " <- " + qvdde::KindName(c.cell.kind) + " " + qvdde::ValueText(c.cell));
        qvdde::Result r = Poke(c.item, qvdde::EncodeXlTable(c.cell));
        EXPECT_TRUE(r.ok) << "poke not acknowledged: " << qvdde::ErrorName(r.error);
        auto want = c.expect;
        auto a = qvtest::WaitForAdvise(
            client_, c.item,
            [&](const Cell& got) { return got.kind == want.kind && qvdde::ValueText(got) == qvdde::ValueText(want); },
            3000);
        EXPECT_TRUE(a) << "the written value did not come back through the hot link as " << qvdde::KindName(want.kind)
                       << " " << qvdde::ValueText(want);
    }
}

TEST_F(BridgeTransactions, RefusedWritesAndMalformedBlocksAnswerNotProcessedAndChangeNothing) {
    Link("Static.ReadOnly");
    Cell before = Link("Static.I1");
    Cell beforeR8 = Link("Static.R8");
    Link("Control.RefuseWrites");

    auto block = [](std::initializer_list<uint8_t> b) { return std::vector<uint8_t>(b); };
    const struct {
        const char* item;
        std::vector<uint8_t> bytes;
        const char* what;
    } refused[] = {
        {"Static.ReadOnly", qvdde::EncodeXlTable(Cell::Number(1)), "a write the server refuses"},
        {"Static.R8", qvdde::EncodeXlTable(Cell::Text("abc")), "text that is no number into R8"},
        {"Static.I1", qvdde::EncodeXlTable(Cell::Number(1000)), "1000 into I1"},
        // Two of the decoder's refusals (the rest: core_tests XlTableDecode.*), end to end.
        {"Static.R8", {}, "empty block"},
        {"Static.R8", block({'1', '2', 0}), "plain text"},
    };
    for (const auto& bad : refused) EXPECT_FALSE(Poke(bad.item, bad.bytes).ok) << bad.what << " was acknowledged";
    // Refused by the server while it refuses all writes.
    qvdde::Result r = Poke("Control.RefuseWrites", qvdde::EncodeXlTable(Cell::Bool(true)));
    ASSERT_TRUE(r.ok) << "could not switch the server to refusing writes: " << qvdde::ErrorName(r.error);
    r = Poke("Static.I1", qvdde::EncodeXlTable(Cell::Int(5)));
    EXPECT_FALSE(r.ok) << "a write refused by the server was acknowledged";
    r = Poke("Control.RefuseWrites", qvdde::EncodeXlTable(Cell::Bool(false)));
    EXPECT_TRUE(r.ok) << "could not switch refusing writes off again";

    // Writes go through again, and the ones that do come back after anything the refused
    // ones could have changed. A block longer than the 800 bytes looked at still carries
    // its first cell.
    const int next = before.number == 9 ? 10 : 9;
    r = Poke("Static.I1", qvdde::EncodeXlTable(Cell::Int(next)));
    EXPECT_TRUE(r.ok) << qvdde::ErrorName(r.error);
    std::vector<qvdde::Advise> seen;
    EXPECT_TRUE(qvtest::WaitForAdvise(
        client_, "Static.I1", [&](const Cell& c) { return NumberIs(c, next); }, 5000, &seen));
    const double want = beforeR8.number == 99.5 ? 98.5 : 99.5;
    std::vector<uint8_t> longBlock = qvdde::EncodeXlTable(Cell::Number(want));
    longBlock.resize(2000, 0xAB);
    EXPECT_TRUE(Poke("Static.R8", longBlock).ok) << "a valid block of 2000 bytes was refused";
    EXPECT_TRUE(qvtest::WaitForAdvise(
        client_, "Static.R8", [&](const Cell& c) { return NumberIs(c, want); }, 5000, &seen));
    for (const char* item : {"Static.ReadOnly", "Static.R8", "Static.I1"})
        EXPECT_EQ(0, CountOf(seen, item)) << item << " changed";
    // The list shows the unchanged values too (R8 as "%9.4f ", I1 as its unsigned byte).
    std::vector<std::string> row = bridge_->Row("Static.ReadOnly");
    ASSERT_GE(row.size(), 2u);
    EXPECT_EQ("  42.0000 ", row[1]);
    // Rows are redrawn at most every 100 ms: the written value shows within a moment.
    const std::string shown = std::to_string(unsigned(uint8_t(next))) + " ";
    EXPECT_TRUE(qvtest::WaitUntil(
        [&] {
            row = bridge_->Row("Static.I1");
            return row.size() >= 2 && row[1] == shown;
        },
        3000))
        << "Static.I1 shows " << (row.size() >= 2 ? row[1] : "no row");
    EXPECT_TRUE(bridge_->app().process().running());
}

}  // namespace
