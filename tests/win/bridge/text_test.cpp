// Text clients against the running bridge: CF_TEXT hot links and one-shot requests for
// every value type of the simulation server, CF_TEXT pokes into every type read back
// through the record, and XlTable requests answering the advise bytes. Requests and pokes
// go through a conversation without hot links (see qvdde_client.h).
#include <gtest/gtest.h>

#include <cstring>

#include "tests/win/bridge/bridge_env.h"

namespace {

using qvdde::Cell;

const char kTopic[] = "Text";
// The fixed quality items hold their quality code as an I4; Static.ReadOnly holds 42.
const char* const kFixed[][2] = {{"Quality.Good", "192"},       {"Quality.Bad", "0"},
                                 {"Quality.Uncertain", "64"},   {"Quality.LocalOverride", "216"},
                                 {"Quality.CommFailure", "24"}, {"Static.ReadOnly", "42"}};

std::vector<uint8_t> Zt(const char* s) { return std::vector<uint8_t>(s, s + std::strlen(s) + 1); }

class BridgeText : public bridge::SharedBridge<BridgeText> {
  public:
    static std::vector<qvtest::ConfigConnection> Connections() {
        std::vector<std::string> items = bridge::StaticItems();
        for (const auto& f : kFixed) items.push_back(f[0]);
        return {bridge::Conn(kTopic, items)};
    }

  protected:
    void SetUp() override {
        SharedBridge::SetUp();
        ASSERT_TRUE(!HasFatalFailure() && (calls_ = bridge::Open(callClient_, kTopic)));
    }
    // One zero-terminated text, "<no data>" or "<not text>".
    static std::string TextOf(const std::vector<uint8_t>& d) {
        if (d.empty() || std::memchr(d.data(), 0, d.size()) != &d.back()) return "<not text>";
        return std::string(d.begin(), d.end() - 1);
    }
    std::string RequestText(const std::string& item) {
        std::vector<uint8_t> data;
        return calls_->Request(item, CF_TEXT, &data).ok ? TextOf(data) : "<no data>";
    }
    // Asks until the record answers want (a write takes a data change to arrive).
    std::string WaitText(const std::string& item, const std::string& want) {
        std::string last;
        for (const ULONGLONG end = GetTickCount64() + 8000;
             (last = RequestText(item)) != want && GetTickCount64() < end;)
            callClient_.Pump(100);
        return last;
    }

    qvdde::DdeClient callClient_;
    std::unique_ptr<qvdde::Conversation> calls_;
};

TEST_F(BridgeText, TextLinksAndRequestsShowEveryType) {
    // Set by XlTable pokes first, so that the texts are known.
    const struct {
        const char* item;
        Cell set;
        const char* text;
    } known[] = {
        {"Static.I1", Cell::Number(-8), "-8"},
        {"Static.I2", Cell::Number(-1600), "-1600"},
        {"Static.I4", Cell::Number(-320000), "-320000"},
        {"Static.UI1", Cell::Number(200), "200"},
        {"Static.UI2", Cell::Number(60000), "60000"},
        {"Static.UI4", Cell::Number(4e9), "4000000000"},
        {"Static.INT", Cell::Number(-42), "-42"},
        {"Static.UINT", Cell::Number(42), "42"},
        {"Static.R4", Cell::Number(0.1), "0.1"},
        {"Static.R8", Cell::Number(1.0 / 3), "0.333333333333333"},
        {"Static.BSTR", Cell::Text("ab"), "ab"},
        {"Static.BOOL", Cell::Bool(true), "TRUE"},
        {"Static.DATE", Cell::Number(45306.5), "2024-01-15 12:00:00"},
        {"Static.CY", Cell::Number(12.3456), "12.3456"},
    };
    std::vector<std::pair<std::string, std::string>> all;
    for (const auto& k : known) {
        ASSERT_TRUE(calls_->Poke(k.item, qvtest::kTestFormat, qvdde::EncodeXlTable(k.set)).ok) << k.item;
        EXPECT_EQ(k.text, WaitText(k.item, k.text)) << k.item;
        all.emplace_back(k.item, k.text);
    }
    for (const auto& f : kFixed) all.emplace_back(f[0], f[1]);
    for (const auto& f : kFixed) EXPECT_EQ(f[1], RequestText(f[0])) << f[0];
    EXPECT_EQ("<no data>", RequestText("Static.Nothing"));

    // Hot links in CF_TEXT: exactly one first value each, labelled CF_TEXT. Each on a
    // conversation of its own: Wine's client reports an advise start as refused when the
    // first value of an earlier link of its conversation arrives while it waits.
    std::vector<std::unique_ptr<qvdde::DdeClient>> linkClients;
    std::vector<std::unique_ptr<qvdde::Conversation>> links;
    for (const auto& a : all) {
        linkClients.push_back(std::make_unique<qvdde::DdeClient>());
        links.push_back(bridge::Open(*linkClients.back(), kTopic));
        ASSERT_TRUE(links.back() && links.back()->StartAdvise(a.first, CF_TEXT).ok) << a.first;
    }
    callClient_.Pump(2500);  // every client of this thread takes its advises meanwhile
    std::vector<qvdde::Advise> seen;
    for (const auto& c : linkClients) seen.insert(seen.end(), c->queue().begin(), c->queue().end());
    for (const auto& want : all) {
        std::vector<std::string> got;
        for (const auto& a : seen)
            if (qvtest::SameName(a.item, want.first)) got.push_back(a.format == CF_TEXT ? TextOf(a.data) : "<format>");
        EXPECT_EQ(std::vector<std::string>{want.second}, got) << want.first;
    }

    // XlTable requests answer the advise bytes: count byte and characters; the double.
    std::vector<uint8_t> data;
    ASSERT_TRUE(calls_->Request("Static.BSTR", qvtest::kTestFormat, &data).ok);
    EXPECT_EQ(std::vector<uint8_t>({0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 3, 0, 2, 'a', 'b'}), data);
    ASSERT_TRUE(calls_->Request("Static.ReadOnly", qvtest::kTestFormat, &data).ok);
    EXPECT_EQ(qvdde::EncodeXlTable(Cell::Number(42)), data);
}

TEST_F(BridgeText, TextPokesReachEveryTypeAndGarbageIsRefused) {
    const char* const cases[][3] = {
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
    for (const auto& c : cases) {
        EXPECT_TRUE(calls_->Poke(c[0], CF_TEXT, Zt(c[1])).ok) << c[0] << " <- " << c[1];
        EXPECT_EQ(c[2], WaitText(c[0], c[2])) << c[0] << " <- " << c[1];
    }
    const char* const bad[][2] = {{"Static.R8", "12abc"},        {"Static.R8", "4,5"},     {"Static.UI1", "256"},
                                  {"Static.DATE", "2024-02-30"}, {"Static.BOOL", "maybe"}, {"Static.ReadOnly", "1"}};
    for (const auto& b : bad) EXPECT_FALSE(calls_->Poke(b[0], CF_TEXT, Zt(b[1])).ok) << b[0] << " <- " << b[1];
    EXPECT_EQ("-2.5e-07", RequestText("Static.R8"));
    EXPECT_EQ("17", RequestText("Static.UI1"));
    EXPECT_EQ("42", RequestText("Static.ReadOnly"));
}

}  // namespace
