// The qvdde tool and its XlTable codec on their own, against the bare DDEML server of the
// benchmark (no OPC, no quorvane.exe): output lines, exit codes, and the Wine format fix.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/win/support/tools.h"
#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace {

using qvdde::Cell;
using qvdde::CellKind;

std::vector<uint8_t> Bytes(std::initializer_list<int> b) { return std::vector<uint8_t>(b.begin(), b.end()); }

// Each one-cell layout encodes to its bytes and decodes back; broken blocks are refused.
TEST(QvddeCodec, EncodesAndDecodesTheOneCellLayoutsAndRefusesBrokenBlocks) {
    const std::pair<Cell, std::vector<uint8_t>> layouts[] = {
        {Cell::Number(1.5), Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F})},
        {Cell::Bool(true), Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 3, 0, 2, 0, 1, 0})},
        {Cell::Text("abc"), Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 4, 0, 3, 'a', 'b', 'c'})},
        {Cell::Text(""), Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 1, 0, 0})},
        {Cell::Int(-5), Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 6, 0, 2, 0, 0xFB, 0xFF})},
    };
    for (const auto& l : layouts) {
        EXPECT_EQ(l.second, qvdde::EncodeXlTable(l.first)) << qvdde::ValueText(l.first);
        auto back = qvdde::DecodeXlTable(l.second);
        ASSERT_TRUE(back);
        EXPECT_EQ(l.first.kind, back->kind);
        EXPECT_EQ(qvdde::ValueText(l.first), qvdde::ValueText(*back));
    }
    // Text beyond the count byte's reach is cut, and the block stays consistent.
    std::vector<uint8_t> longText = qvdde::EncodeXlTable(Cell::Text(std::string(300, 'x')));
    ASSERT_EQ(13u + 255u, longText.size());
    EXPECT_EQ(256, longText[10] | (longText[11] << 8));
    EXPECT_EQ(255, longText[12]);
    std::string why;
    EXPECT_FALSE(qvdde::DecodeXlTable(Bytes({'1', '2', 0}), &why));
    EXPECT_FALSE(qvdde::DecodeXlTable(Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 1, 0, 8, 0, 0, 0}), &why)) << "short float";
    EXPECT_FALSE(qvdde::DecodeXlTable(Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 2, 0, 3, 0, 5, 'a', 'b'}), &why))
        << "count beyond the record";
    EXPECT_FALSE(qvdde::DecodeXlTable(Bytes({0x10, 0, 4, 0, 0, 0, 1, 0, 3, 0, 2, 0, 1, 0}), &why)) << "no rows";
    EXPECT_FALSE(qvdde::DecodeXlTable(Bytes({0x10, 0, 4, 0, 1, 0, 1, 0, 5, 0, 2, 0, 1, 0}), &why)) << "error cell";
    EXPECT_FALSE(why.empty());
}

TEST(QvddeCodec, ParsesPokeArgumentsByKind) {
    std::string why;
    EXPECT_EQ(CellKind::Number, qvdde::ParseCell("number", "12.5", &why)->kind);
    EXPECT_FALSE(qvdde::ParseCell("number", "12.5x", &why));
    EXPECT_EQ(-5, qvdde::ParseCell("int", "-5", &why)->integer);
    EXPECT_FALSE(qvdde::ParseCell("int", "40000", &why));
    EXPECT_FALSE(qvdde::ParseCell("int", "1.5", &why));
    EXPECT_TRUE(qvdde::ParseCell("bool", "true", &why)->boolean);
    EXPECT_FALSE(qvdde::ParseCell("bool", "0", &why)->boolean);
    EXPECT_FALSE(qvdde::ParseCell("bool", "maybe", &why));
    EXPECT_EQ("a b", qvdde::ParseCell("text", "a b", &why)->text);
    EXPECT_FALSE(qvdde::ParseCell("float", "1", &why));
    EXPECT_EQ("0.1", qvdde::NumberText(0.1));
    EXPECT_EQ("13441147183041.19", qvdde::NumberText(13441147183041.19));
}

// The bare server of the benchmark, serving topic T1 with items I0 and I1 on service QvTool.
class QvddeTool : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        server_ = qvtest::StartTool("dde_bare_server",
                                    {"--service", "QvTool", "--items", "2", "--links", "1", "--posts", "100000",
                                     "--tick-us", "100000", "--linger-ms", "0"},
                                    &why);
        ASSERT_TRUE(server_) << why;
        ASSERT_TRUE(server_->WaitLine("ready", 20000)) << server_->err()->Rest();
    }
    void TearDown() override { server_.reset(); }  // ends it by its own handle
    std::unique_ptr<qvtest::ChildProcess> server_;
};

TEST_F(QvddeTool, PrintsEachValueOnItsOwnLineAndStopsAtTheCount) {
    qvtest::ToolRun run = qvtest::RunTool("qvdde", {"--service", "QvTool", "--topic", "T1", "--format", "4", "--advise",
                                                    "I0", "--count", "3", "--seconds", "20"});
    ASSERT_TRUE(run.finished && run.exitCode == 0) << run.Describe();
    ASSERT_EQ(6u, run.out.size()) << run.Describe();
    EXPECT_EQ("connected QvTool T1", run.out[0]);
    EXPECT_EQ("advise I0 started format CF_SYLK", run.out[1]);
    for (int i = 0; i < 3; ++i) {
        const std::string prefix = "value " + std::to_string(i + 1) + " ";
        EXPECT_EQ(0u, run.out[2 + i].rfind(prefix, 0)) << run.out[2 + i];
        EXPECT_NE(std::string::npos, run.out[2 + i].find(" I0 number ")) << run.out[2 + i];
    }
    EXPECT_EQ("done 3 values", run.out[5]);
}

TEST_F(QvddeTool, PokesRequestsAndReportsRefusalsWithExitCodes) {
    qvtest::ToolRun run =
        qvtest::RunTool("qvdde", {"--service", "QvTool", "--topic", "t1", "--format", "4", "--poke", "I1", "-2.5",
                                  "--as", "number", "--request", "I1", "--request", "I1"});
    ASSERT_TRUE(run.finished && run.exitCode == 0) << run.Describe();
    ASSERT_EQ(4u, run.out.size()) << run.Describe();
    EXPECT_EQ(0u, run.out[1].rfind("poke I1 ok", 0));
    EXPECT_EQ("request I1 number -2.5", run.out[2]) << "two requests in a row must both be answered";
    EXPECT_EQ("request I1 number -2.5", run.out[3]);
    // An XlTable block labelled CF_TEXT is still shown decoded.
    run = qvtest::RunTool("qvdde", {"--service", "QvTool", "--topic", "T1", "--format", "CF_TEXT", "--request", "I1"});
    ASSERT_TRUE(run.finished && run.exitCode == 0) << run.Describe();
    EXPECT_EQ("request I1 number -2.5", run.out.back());

    // Refusals by exit code: a text poke (the bare server takes numbers only), an unknown
    // topic, an unknown item, too few values in time, and bad arguments.
    const std::pair<std::vector<std::string>, DWORD> refusals[] = {
        {{"--topic", "T1", "--format", "4", "--poke", "I1", "x", "--as", "text"}, 5},
        {{"--topic", "Nope", "--advise", "I0"}, 3},
        {{"--topic", "T1", "--advise", "I9", "--format", "4"}, 4},
        {{"--topic", "T1", "--advise", "I0", "--format", "4", "--count", "1000", "--seconds", "1"}, 7},
        {{"--advise", "I0"}, 2},
        {{"--topic", "T1", "--poke", "I0", "1", "--as", "float"}, 2},
    };
    for (const auto& r : refusals) {
        std::vector<std::string> args = {"--service", "QvTool"};
        args.insert(args.end(), r.first.begin(), r.first.end());
        run = qvtest::RunTool("qvdde", args);
        EXPECT_TRUE(run.finished && run.exitCode == r.second) << run.Describe();
        if (r.second == 5) EXPECT_NE(std::string::npos, run.err.find("not processed")) << run.Describe();
    }
}

TEST_F(QvddeTool, RegisteredFormatArrivesWithTheWineFixOnly) {
    qvtest::ToolRun run = qvtest::RunTool(
        "qvdde", {"--service", "QvTool", "--topic", "T1", "--advise", "I0", "--count", "2", "--seconds", "10"});
    ASSERT_TRUE(run.finished && run.exitCode == 0) << run.Describe();
    EXPECT_EQ("advise I0 started format XlTable", run.out[1]);
    if (!qvdde::RunningOnWine()) return;
    // Without the sign extension Wine drops every advise in a registered format.
    run = qvtest::RunTool("qvdde", {"--service", "QvTool", "--topic", "T1", "--advise", "I0", "--count", "2",
                                    "--seconds", "2", "--no-wine-fix"});
    EXPECT_TRUE(run.finished && run.exitCode == 7) << run.Describe();
}

}  // namespace
