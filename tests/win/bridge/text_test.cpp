// Text clients against the running bridge: CF_TEXT hot links and one-shot requests for
// every value type of the simulation server, CF_TEXT pokes into every type read back
// through the record, and XlTable clients still getting the same bytes.
// Requests and pokes go through a conversation without hot links (see qvdde_client.h).
#include <gtest/gtest.h>

#include <cstring>

#include "tests/win/bridge/bridge_env.h"
#include "tests/win/support/tools.h"

namespace {

using qvdde::Cell;
using qvtest::kTestFormat;

const char kTopic[] = "Text";

struct Expect {
    const char* item;
    Cell set;          // poked as XlTable first, so the texts are known
    const char* text;  // what a CF_TEXT client must then get
};

// The fixed quality items hold their quality code as an I4.
const Expect kQualities[] = {
    {"Quality.Good", Cell(), "192"},        {"Quality.Bad", Cell(), "0"},
    {"Quality.Uncertain", Cell(), "64"},    {"Quality.LocalOverride", Cell(), "216"},
    {"Quality.CommFailure", Cell(), "24"},  {"Static.ReadOnly", Cell(), "42"},
};

class BridgeText : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qvtest::ConfigConnection c;
        c.alias = kTopic;
        c.updateRate = 200;
        c.items = bridge::StaticItems();
        for (const Expect& q : kQualities) c.items.push_back(q.item);
        bridge_ = new bridge::Bridge;
        if (!bridge_->Start({c}, &startError_)) {
            delete bridge_;
            bridge_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        if (bridge_) {
            std::string why;
            bridge_->app().Close(15000, &why);
            delete bridge_;
            bridge_ = nullptr;
        }
    }
    void SetUp() override {
        ASSERT_TRUE(bridge_) << "quorvane.exe did not come up: " << startError_;
        links_ = bridge::Open(linkClient_, kTopic);
        ASSERT_TRUE(links_);
        calls_ = bridge::Open(callClient_, kTopic);
        ASSERT_TRUE(calls_);
    }

    // The CF_TEXT answer to a request, "<no data>", or "<not text>" when it is not one
    // zero-terminated text.
    std::string RequestText(const std::string& item) {
        std::vector<uint8_t> data;
        if (!calls_->Request(item, CF_TEXT, &data).ok) return "<no data>";
        return TextOf(data);
    }
    static std::string TextOf(const std::vector<uint8_t>& data) {
        if (data.empty() || data.back() != 0 || std::memchr(data.data(), 0, data.size()) != &data.back())
            return "<not text>";
        return std::string(data.begin(), data.end() - 1);
    }
    // Asks until the record answers want (a write takes a data change to arrive).
    bool WaitText(const std::string& item, const std::string& want, std::string* last) {
        const ULONGLONG deadline = GetTickCount64() + 8000;
        do {
            *last = RequestText(item);
            if (*last == want) return true;
            callClient_.Pump(100);
        } while (GetTickCount64() < deadline);
        return false;
    }

    static bridge::Bridge* bridge_;
    static std::string startError_;
    qvdde::DdeClient linkClient_, callClient_;
    std::unique_ptr<qvdde::Conversation> links_, calls_;
};

bridge::Bridge* BridgeText::bridge_ = nullptr;
std::string BridgeText::startError_;

TEST_F(BridgeText, TextLinksAndRequestsShowEveryType) {
    const Expect known[] = {
        {"Static.I1", Cell::Number(-8), "-8"},
        {"Static.I2", Cell::Number(-1600), "-1600"},
        {"Static.I4", Cell::Number(-320000), "-320000"},
        {"Static.UI1", Cell::Number(200), "200"},
        {"Static.UI2", Cell::Number(60000), "60000"},
        {"Static.UI4", Cell::Number(4000000000.0), "4000000000"},
        {"Static.INT", Cell::Number(-42), "-42"},
        {"Static.UINT", Cell::Number(42), "42"},
        {"Static.R4", Cell::Number(0.1), "0.1"},
        {"Static.R8", Cell::Number(1.0 / 3), "0.333333333333333"},
        {"Static.BSTR", Cell::Text("Hello world"), "Hello world"},
        {"Static.BOOL", Cell::Bool(true), "TRUE"},
        {"Static.DATE", Cell::Number(45306.5), "2024-01-15 12:00:00"},
        {"Static.CY", Cell::Number(12.3456), "12.3456"},
    };
    std::string last;
    for (const Expect& e : known) {
        ASSERT_TRUE(calls_->Poke(e.item, kTestFormat, qvdde::EncodeXlTable(e.set)).ok) << e.item;
        EXPECT_TRUE(WaitText(e.item, e.text, &last)) << e.item << " requested as text: " << last;
    }
    for (const Expect& q : kQualities) EXPECT_EQ(q.text, RequestText(q.item)) << q.item;
    EXPECT_EQ("<no data>", RequestText("Static.Nothing"));
    // The tool as a text client; this thread pumps meanwhile, as its conversations'
    // windows must answer the tool's connect broadcast.
    std::string why;
    auto tool = qvtest::StartTool("qvdde", {"--topic", kTopic, "--text", "--request", "Static.DATE"}, &why);
    ASSERT_TRUE(tool) << why;
    std::optional<std::string> line;
    for (const ULONGLONG end = GetTickCount64() + 20000; !line && GetTickCount64() < end;) {
        callClient_.Pump(20);
        line = tool->WaitLine("request ", 30);
    }
    EXPECT_EQ("request Static.DATE text 2024-01-15 12:00:00", line.value_or("<nothing>"));
    EXPECT_EQ(0u, tool->Wait(10000).value_or(99));

    // Hot links in CF_TEXT: the first value of each, labelled CF_TEXT.
    std::vector<const Expect*> all;
    for (const Expect& e : known) all.push_back(&e);
    for (const Expect& q : kQualities) all.push_back(&q);
    for (const Expect* e : all) ASSERT_TRUE(links_->StartAdvise(e->item, CF_TEXT).ok) << e->item;
    std::vector<qvdde::Advise> seen = qvtest::Collect(linkClient_, 2500);
    for (const Expect* e : all) {
        int count = 0;
        for (const auto& a : seen) {
            if (!qvtest::SameName(a.item, e->item)) continue;
            ++count;
            EXPECT_EQ(UINT(CF_TEXT), a.format) << e->item;
            EXPECT_EQ(e->text, TextOf(a.data)) << e->item;
        }
        EXPECT_EQ(1, count) << "advises on " << e->item;
    }
}

TEST_F(BridgeText, TextPokesReachEveryTypeAndGarbageIsRefused) {
    const struct {
        const char* item;
        const char* poke;
        const char* back;
    } cases[] = {
        {"Static.I1", "-9", "-9"},
        {"Static.I2", "1601", "1601"},
        {"Static.I4", "123456\r\n", "123456"},
        {"Static.UI1", "17", "17"},
        {"Static.UI2", "65535", "65535"},
        {"Static.UI4", "3e9", "3000000000"},
        {"Static.INT", "+21", "21"},
        {"Static.UINT", "7", "7"},
        {"Static.R4", "0.5", "0.5"},
        {"Static.R8", "-2.5e-7", "-2.5e-07"},
        {"Static.BSTR", "abc, def", "abc, def"},
        {"Static.BOOL", "false", "FALSE"},
        {"Static.DATE", "1850-06-01 18:30:15", "1850-06-01 18:30:15"},
        {"Static.CY", "-7.25", "-7.25"},
    };
    std::string last;
    for (const auto& c : cases) {
        const std::vector<uint8_t> block(c.poke, c.poke + std::strlen(c.poke) + 1);
        qvdde::Result r = calls_->Poke(c.item, CF_TEXT, block);
        EXPECT_TRUE(r.ok) << c.item << " <- " << c.poke << ": " << qvdde::ErrorName(r.error);
        EXPECT_TRUE(WaitText(c.item, c.back, &last)) << c.item << " <- " << c.poke << " reads back " << last;
    }
    // Refused: not a number, a decimal comma, out of range, a date that does not exist.
    const struct {
        const char* item;
        const char* poke;
    } bad[] = {{"Static.R8", "12abc"}, {"Static.R8", "4,5"}, {"Static.UI1", "256"}, {"Static.DATE", "2024-02-30"},
               {"Static.BOOL", "maybe"}, {"Static.ReadOnly", "1"}};
    for (const auto& b : bad) {
        const std::vector<uint8_t> block(b.poke, b.poke + std::strlen(b.poke) + 1);
        EXPECT_FALSE(calls_->Poke(b.item, CF_TEXT, block).ok) << b.item << " <- " << b.poke << " was acknowledged";
    }
    EXPECT_EQ("-2.5e-07", RequestText("Static.R8"));
    EXPECT_EQ("17", RequestText("Static.UI1"));
    EXPECT_EQ("42", RequestText("Static.ReadOnly"));
}

TEST_F(BridgeText, XlTableClientsGetTheSameBytesAsBefore) {
    // 42.0 as a one-cell XlTable float, in a request and in the first advise.
    std::vector<uint8_t> expected = {0x10, 0, 4, 0, 1, 0, 1, 0, 1, 0, 8, 0};
    const double v = 42;
    uint8_t raw[8];
    std::memcpy(raw, &v, 8);
    expected.insert(expected.end(), raw, raw + 8);
    std::vector<uint8_t> data;
    ASSERT_TRUE(calls_->Request("Static.ReadOnly", kTestFormat, &data).ok);
    EXPECT_EQ(expected, data);
    ASSERT_TRUE(links_->StartAdvise("Static.ReadOnly", kTestFormat).ok);
    auto a = qvtest::WaitForAny(linkClient_, "Static.ReadOnly", 3000);
    ASSERT_TRUE(a);
    EXPECT_EQ(kTestFormat, a->format);
    EXPECT_EQ(expected, a->data);
    // A text item: count byte and the characters, no zero byte.
    ASSERT_TRUE(calls_->Poke("Static.BSTR", kTestFormat, qvdde::EncodeXlTable(Cell::Text("ab"))).ok);
    std::string last;
    ASSERT_TRUE(WaitText("Static.BSTR", "ab", &last)) << last;
    ASSERT_TRUE(calls_->Request("Static.BSTR", kTestFormat, &data).ok);
    EXPECT_EQ(std::vector<uint8_t>({0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 3, 0, 2, 'a', 'b'}), data);
}

}  // namespace
