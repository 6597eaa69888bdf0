// A hand-edited configuration with a typo: the original is kept beside it before the
// first save (an older .bak is never replaced), the user is told which lines were read
// past in the status line, the log has them, and no connection or item is lost.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/win/road/road_env.h"
#include "tests/win/support/dde.h"

namespace {

using road::Program;

std::vector<std::string> FilesLike(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

TEST(ConfigKeep, ATypoKeepsTheOriginalTellsTheLinesAndLosesNothing) {
    const std::string whole = qvtest::ConfigText({road::Connection("A", {"Static.R8", "Static.I4"}),
                                                  road::Connection("B", {"Static.R4", "Static.I2"}),
                                                  road::Connection("C", {"Static.BOOL", "Static.BSTR"})});
    std::string text = whole;
    size_t at = text.find("Alias = B");
    ASSERT_NE(at, std::string::npos);
    text[at] = 'a';  // line 15: "alias = B"
    const std::string olderBak = "FileRev = 0.9\r\nNumber Of Connections = 0\r\n";

    Program app;
    ASSERT_TRUE(qvtest::WriteFileBytes(app.folder().File("quorvane.cfg.bak"), olderBak));
    road::WaitForNoSimServer(15000);
    ASSERT_TRUE(app.Start(text));
    ASSERT_TRUE(road::WaitUntil([&] { return app.TabCount() == 3; }, 30000)) << app.TabCount() << " tabs";
    EXPECT_EQ(app.TabLabel(1), "B");
    EXPECT_EQ(app.TabLabel(2), "C");
    std::string status = app.Text(IDC_STATUS);
    EXPECT_EQ(status.rfind("Configuration: lines skipped or repaired: 15 (", 0), 0u) << status;
    EXPECT_TRUE(qvtest::FindMessageBox(app.pid()).empty());

    // Kept before anything was written; the older .bak stays as it was.
    std::string bak;
    ASSERT_TRUE(qvtest::ReadFileBytes(app.folder().File("quorvane.cfg.bak"), &bak));
    EXPECT_EQ(bak, olderBak);
    std::vector<std::string> kept = FilesLike(app.folder().File("quorvane.cfg.bak-*"));
    ASSERT_EQ(kept.size(), 1u);
    std::string original;
    ASSERT_TRUE(qvtest::ReadFileBytes(app.folder().File(kept[0]), &original));
    EXPECT_EQ(original, text);
    EXPECT_NE(status.find(kept[0]), std::string::npos) << status;

    {  // a refused poke, for its log line
        qvdde::DdeClient client;
        std::unique_ptr<qvdde::Conversation> conv = client.Connect("Quorvane", "A");
        ASSERT_TRUE(conv);
        conv->Poke("No.Such.Item", CF_TEXT, {'1', 0});
    }
    ASSERT_TRUE(app.Close(30000));
    std::string saved, log;
    ASSERT_TRUE(app.folder().ReadConfig(&saved));
    EXPECT_EQ(saved, whole);  // the typo mended, every connection and item kept
    ASSERT_TRUE(qvtest::ReadFileBytes(app.folder().File("quorvane.log"), &log));
    EXPECT_NE(log.find("[config] line 15: \"alias = B\" read as \"Alias\""), std::string::npos) << log;
    EXPECT_NE(log.find("[app] start"), std::string::npos);
    EXPECT_NE(log.find("[app] stop"), std::string::npos);
    EXPECT_NE(log.find("[opc] connect: C (Quorvane.Simulation.1 on this computer): 0x00000000"), std::string::npos);
    EXPECT_NE(log.find("[dde] poke refused: A!No.Such.Item: unknown item"), std::string::npos) << log;
}

}  // namespace
