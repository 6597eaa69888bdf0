// The configuration file: its exact layout and round trip, files the program did not write
// (missing entries, lines out of order, counts the file cannot back), and the save that
// replaces the old file only once the new one is complete.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "persist/Config.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"
#include "tests/win/support/process.h"

using namespace apptest;

namespace {

// A list read from text; its connections are disconnected and never reach a library.
struct Loaded {
    explicit Loaded(const std::string& text) {
        fakeopc::Install();
        list.SetAdviseGate(&Gate());
        CMemFile file(text.data(), static_cast<UINT>(text.size()));
        list.Read(file, &fileRev);
    }
    CServerConnection* operator[](int i) const { return list.GetAt(i); }
    int Size() const { return list.GetSize(); }
    std::string Text() const {
        CMemFile file;
        list.Write(file, fileRev);
        return std::string(reinterpret_cast<const char*>(file.GetData()), static_cast<size_t>(file.GetLength()));
    }
    CString fileRev = "1.00";
    CConnectionList list;
};

}  // namespace

TEST(ConfigTest, TheLayoutIsFixedAndSurvivesARoundTripWithBlanksAndParameters) {
    std::string text =
        Cfg({"FileRev = 2.07", "Number Of Connections = 2", "UpdateRate = 250", "Deadband = 12.500000",
             "MachineName = plant-pc", "ServerName = Sim.A", "Alias =   Line 1 ", "Number Of Items = 3",
             "TagName =  lead", "TagName = trail  ", "TagName = a=b", "UpdateRate = 1000", "Deadband = 0.000000",
             "MachineName = ", "ServerName = Sim.B", "Alias = Second", "Number Of Items = 0"});
    Loaded d(text);
    ASSERT_EQ(d.Size(), 2);
    EXPECT_STREQ(d.fileRev, "2.07");
    EXPECT_STREQ(d[0]->m_strAlias, "  Line 1 ");
    EXPECT_EQ(d[0]->m_dwUpdateRate, 250u);
    EXPECT_FLOAT_EQ(d[0]->m_fDeadband, 12.5f);
    ASSERT_EQ(d[0]->GetItemCount(), 3);
    EXPECT_STREQ(d[0]->GetItem(0)->m_strTagName, " lead");
    EXPECT_STREQ(d[0]->GetItem(2)->m_strTagName, "a=b");
    // Loaded connections are disconnected, with a DDE name for the alias; a tag gets its
    // name only when a client links it.
    EXPECT_EQ(d[0]->m_hServer, -1);
    EXPECT_NE(d[0]->m_hszTopic, nullptr);
    EXPECT_FALSE(d[0]->GetItem(0)->IsLinked());
    EXPECT_EQ(d.Text(), text);
}

TEST(ConfigTest, FilesFromElsewhereLoadWhatTheyHoldAndCountsStopAtTheirEnd) {
    DWORD start = ::GetTickCount();
    {  // No FileRev: loads; missing rate and deadband take the new-connection defaults.
        Loaded d(Cfg({"Number Of Connections = 1", "Alias = X", "Number Of Items = 1", "TagName = T"}));
        EXPECT_STREQ(d.fileRev, "1.00");
        ASSERT_EQ(d.Size(), 1);
        EXPECT_EQ(d[0]->m_dwUpdateRate, 1000u);
        EXPECT_EQ(d[0]->GetItemCount(), 1);
    }
    EXPECT_EQ(Loaded(Cfg({"Something = 1", "Number Of Connections = 1", "Alias = X"})).Size(), 0);
    {  // LF-only lines read like CR LF ones; a missing item count means none.
        Loaded d("FileRev = 3\nNumber Of Connections = 1\nUpdateRate = 20\nAlias = Y\n");
        ASSERT_EQ(d.Size(), 1);
        EXPECT_EQ(d[0]->m_dwUpdateRate, 20u);
        EXPECT_EQ(d[0]->GetItemCount(), 0);
    }
    EXPECT_EQ(Loaded(std::string("\x00\xff\r\n=\r\n", 6)).Size(), 0);
    EXPECT_EQ(Loaded(Cfg({"Number Of Connections = 2000000000"})).Size(), 0);
    EXPECT_EQ(Loaded(Cfg({"Number Of Connections = -4", "Alias = A"})).Size(), 0);
    {
        Loaded d(Cfg({"Number Of Connections = 1", "Alias = Big", "Number Of Items = 2000000000", "TagName = only"}));
        ASSERT_EQ(d.Size(), 1);
        EXPECT_EQ(d[0]->GetItemCount(), 1);
    }
    {  // Fewer items than announced: the next connection still loads from its own lines.
        Loaded d(Cfg({"Number Of Connections = 3", "Alias = A", "Number Of Items = 5", "TagName = a1",
                      "UpdateRate = 300", "Alias = B", "Number Of Items = 1", "TagName = b1"}));
        ASSERT_EQ(d.Size(), 2);
        EXPECT_EQ(d[0]->GetItemCount(), 1);
        EXPECT_EQ(d[1]->m_dwUpdateRate, 300u);
        EXPECT_STREQ(d[1]->GetItem(0)->m_strTagName, "b1");
    }
    EXPECT_LT(::GetTickCount() - start, 2000u);
}

TEST(ConfigTest, ReplacingAFileLeavesNoTraceWhenTheNewOneCannotBeWritten) {
    qvtest::TempFolder dir;
    std::string path = dir.File("quorvane.cfg"), text;
    ASSERT_TRUE(ReplaceFileContents(path.c_str(), "new\r\n", 5));
    EXPECT_EQ(::GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    // The new file cannot be made (its name is taken by a folder): the old one stays.
    ASSERT_TRUE(::CreateDirectoryA((path + ".new").c_str(), nullptr));
    EXPECT_FALSE(ReplaceFileContents(path.c_str(), "lost\r\n", 6));
    ASSERT_TRUE(qvtest::ReadFileBytes(path, &text));
    EXPECT_EQ(text, "new\r\n");
    ::RemoveDirectoryA((path + ".new").c_str());
    EXPECT_FALSE(ReplaceFileContents(dir.File("no\\such\\quorvane.cfg").c_str(), "x", 1));
}

// The child of the next test: saves two different configurations over path in turns.
int RunSaveLoop(const char* path) {
    std::vector<std::string> lines[2];
    for (int n = 0; n < 2; ++n) {
        lines[n] = {"FileRev = 1.00", "Number Of Connections = 1", n ? "Alias = B" : "Alias = A",
                    n ? "Number Of Items = 1500" : "Number Of Items = 3000"};
        for (int i = 0; i < (n ? 1500 : 3000); ++i) lines[n].push_back("TagName = Plant.Line.Tag" + std::to_string(i));
    }
    std::string texts[2] = {Cfg(lines[0]), Cfg(lines[1])};
    for (unsigned n = 0;; ++n) ReplaceFileContents(path, texts[n % 2].data(), static_cast<DWORD>(texts[n % 2].size()));
}

TEST(ConfigTest, AProcessKilledWhileSavingLeavesAWholeConfiguration) {
    qvtest::TempFolder dir;
    std::string path = dir.File("quorvane.cfg");
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, sizeof exe);
    for (int round = 0; round < 3; ++round) {
        ::DeleteFileA(path.c_str());  // so that the wait below sees this child's first save
        qvtest::ChildProcess child;
        std::string why;
        ASSERT_TRUE(child.Start(qvtest::QuoteArg(exe) + " --save-loop " + qvtest::QuoteArg(path), "", false, &why))
            << why;
        // Let it save for a while, then end it mid-way, as a crash or power cut would.
        DWORD deadline = ::GetTickCount() + 20000;  // a loaded machine starts processes slowly
        while (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && ::GetTickCount() < deadline) Sleep(10);
        Sleep(150 + 97 * round);
        child.Terminate();

        std::string text;
        ASSERT_TRUE(qvtest::ReadFileBytes(path, &text)) << "round " << round;
        Loaded d(text);
        ASSERT_EQ(d.Size(), 1) << "round " << round;
        int items = d[0]->GetItemCount();
        EXPECT_TRUE((d[0]->m_strAlias == "A" && items == 3000) || (d[0]->m_strAlias == "B" && items == 1500))
            << "round " << round << ": " << items << " items";
    }
}
