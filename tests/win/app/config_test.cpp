// The configuration file: its exact layout, round trips, files that the program did not
// write (missing entries, lines out of order, counts the file cannot back), and the save
// that replaces the old file only once the new one is complete.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "opc/ServerConnection.h"
#include "persist/Config.h"
#include "tests/win/app/app_env.h"
#include "tests/win/support/fake_opc.h"

using namespace apptest;

namespace {

struct Loaded {
    CString fileRev = "1.00";
    CObArray connections;
    ~Loaded() {
        for (int i = 0; i < connections.GetSize(); ++i) delete connections.GetAt(i);
    }
    CServerConnection* Conn(int i) const { return static_cast<CServerConnection*>(connections.GetAt(i)); }
};

void Load(const std::string& text, Loaded* out) {
    CMemFile file(text.data(), static_cast<UINT>(text.size()));
    ReadConfiguration(file, &out->fileRev, &out->connections);
}

std::string Save(const CString& fileRev, const CObArray& connections) {
    CMemFile file;
    WriteConfiguration(file, fileRev, connections);
    return std::string(reinterpret_cast<const char*>(file.GetData()), static_cast<size_t>(file.GetLength()));
}

CServerConnection* MakeConnection(const char* alias, const char* server, std::initializer_list<const char*> tags) {
    CServerConnection* conn = new CServerConnection;
    conn->m_strAlias = alias;
    conn->m_strServerName = server;
    for (const char* t : tags) {
        CTagItem* item = new CTagItem;
        item->m_strTagName = t;
        conn->m_items.Add(item);
    }
    return conn;
}

class ConfigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        fakeopc::Install();  // loaded connections are deleted here; they must not reach a real library
    }
    void TearDown() override { OpcSetLibraryTable(nullptr); }
};

}  // namespace

TEST_F(ConfigTest, OneConnectionIsWrittenInTheFixedLayout) {
    Loaded data;
    CServerConnection* conn = MakeConnection("Line1", "Quorvane.Simulation.1", {"Plant.A", "Plant.B"});
    conn->m_dwUpdateRate = 1000;
    conn->m_fDeadband = 0.0f;
    conn->m_hServer = 5;  // connected or not: written the same
    data.connections.Add(conn);
    EXPECT_EQ(Save("1.00", data.connections),
              "FileRev = 1.00\r\nNumber Of Connections = 1\r\nUpdateRate = 1000\r\nDeadband = 0.000000\r\n"
              "MachineName = \r\nServerName = Quorvane.Simulation.1\r\nAlias = Line1\r\nNumber Of Items = 2\r\n"
              "TagName = Plant.A\r\nTagName = Plant.B\r\n");
    conn->m_hServer = -1;
}

TEST_F(ConfigTest, SaveAndLoadKeepOrderBlanksAndGroupParameters) {
    Loaded original;
    CServerConnection* a = MakeConnection("  Line 1 ", "Sim.A", {" lead", "trail  ", "a=b"});
    a->m_dwUpdateRate = 250;
    a->m_fDeadband = 12.5f;
    a->m_strMachineName = "plant-pc";
    original.connections.Add(a);
    original.connections.Add(MakeConnection("Second", "Sim.B", {}));
    original.connections.Add(MakeConnection("Third", "Sim.C", {"z", "y"}));
    std::string text = Save("2.07", original.connections);

    Loaded back;
    Load(text, &back);
    EXPECT_STREQ(back.fileRev, "2.07");
    ASSERT_EQ(back.connections.GetSize(), 3);
    EXPECT_STREQ(back.Conn(0)->m_strAlias, "  Line 1 ");
    EXPECT_STREQ(back.Conn(0)->m_strMachineName, "plant-pc");
    EXPECT_EQ(back.Conn(0)->m_dwUpdateRate, 250u);
    EXPECT_FLOAT_EQ(back.Conn(0)->m_fDeadband, 12.5f);
    ASSERT_EQ(back.Conn(0)->GetItemCount(), 3);
    EXPECT_STREQ(back.Conn(0)->GetItem(0)->m_strTagName, " lead");
    EXPECT_STREQ(back.Conn(0)->GetItem(1)->m_strTagName, "trail  ");
    EXPECT_STREQ(back.Conn(0)->GetItem(2)->m_strTagName, "a=b");
    EXPECT_EQ(back.Conn(1)->GetItemCount(), 0);
    EXPECT_STREQ(back.Conn(2)->m_strServerName, "Sim.C");
    EXPECT_STREQ(back.Conn(2)->GetItem(1)->m_strTagName, "y");
    // Loaded connections are disconnected, with DDE names made for alias and tags.
    EXPECT_EQ(back.Conn(0)->m_hServer, -1);
    EXPECT_NE(back.Conn(0)->m_hszTopic, nullptr);
    EXPECT_NE(back.Conn(0)->GetItem(0)->m_hszItem, nullptr);
    EXPECT_EQ(Save("2.07", back.connections), text);
}

TEST_F(ConfigTest, FilesFromElsewhereLoadWhatTheyHold) {
    {   // No FileRev line: loads normally, the revision stays 1.00.
        Loaded d;
        Load(Cfg({"Number Of Connections = 1", "Alias = X", "Number Of Items = 1", "TagName = T"}), &d);
        EXPECT_STREQ(d.fileRev, "1.00");
        ASSERT_EQ(d.connections.GetSize(), 1);
        EXPECT_STREQ(d.Conn(0)->m_strAlias, "X");
        EXPECT_EQ(d.Conn(0)->m_dwUpdateRate, 1000u);  // missing: the new-connection defaults
        EXPECT_FLOAT_EQ(d.Conn(0)->m_fDeadband, 0.0f);
        EXPECT_EQ(d.Conn(0)->GetItemCount(), 1);
    }
    {   // A foreign first line stops everything: no count, no connection.
        Loaded d;
        Load(Cfg({"Something = 1", "Number Of Connections = 1", "Alias = X"}), &d);
        EXPECT_EQ(d.connections.GetSize(), 0);
    }
    {   // Missing count of items: none; LF-only lines read like CR LF ones.
        Loaded d;
        Load("FileRev = 3\nNumber Of Connections = 1\nUpdateRate = 20\nAlias = Y\n", &d);
        EXPECT_STREQ(d.fileRev, "3");
        ASSERT_EQ(d.connections.GetSize(), 1);
        EXPECT_EQ(d.Conn(0)->m_dwUpdateRate, 20u);
        EXPECT_EQ(d.Conn(0)->GetItemCount(), 0);
    }
    {   // An empty file and a file of garbage load nothing.
        Loaded d;
        Load("", &d);
        Load(std::string("\x00\xff\r\n=\r\n", 6), &d);
        EXPECT_EQ(d.connections.GetSize(), 0);
    }
}

TEST_F(ConfigTest, CountsTheFileCannotBackStopAtItsEnd) {
    DWORD start = ::GetTickCount();
    {
        Loaded d;
        Load(Cfg({"FileRev = 1.00", "Number Of Connections = 2000000000"}), &d);
        EXPECT_EQ(d.connections.GetSize(), 0);
    }
    {
        Loaded d;
        Load(Cfg({"Number Of Connections = 1", "Alias = Big", "Number Of Items = 2000000000", "TagName = only"}),
             &d);
        ASSERT_EQ(d.connections.GetSize(), 1);
        ASSERT_EQ(d.Conn(0)->GetItemCount(), 1);
        EXPECT_STREQ(d.Conn(0)->GetItem(0)->m_strTagName, "only");
    }
    {   // Two connections announced, three present: two loaded. Three announced, two present: two.
        Loaded d;
        Load(Cfg({"Number Of Connections = 3", "Alias = A", "Number Of Items = 0", "Alias = B",
                  "Number Of Items = 0"}), &d);
        ASSERT_EQ(d.connections.GetSize(), 2);
        EXPECT_STREQ(d.Conn(1)->m_strAlias, "B");
    }
    {   // More items announced than follow: the list ends where the TagName lines end,
        // and the next connection still loads from its own lines.
        Loaded d;
        Load(Cfg({"Number Of Connections = 2", "Alias = A", "Number Of Items = 5", "TagName = a1", "TagName = a2",
                  "UpdateRate = 300", "Alias = B", "Number Of Items = 1", "TagName = b1"}), &d);
        ASSERT_EQ(d.connections.GetSize(), 2);
        EXPECT_EQ(d.Conn(0)->GetItemCount(), 2);
        EXPECT_EQ(d.Conn(1)->m_dwUpdateRate, 300u);
        EXPECT_EQ(d.Conn(1)->GetItemCount(), 1);
    }
    {   // Negative counts load nothing.
        Loaded d;
        Load(Cfg({"Number Of Connections = -4"}), &d);
        EXPECT_EQ(d.connections.GetSize(), 0);
    }
    EXPECT_LT(::GetTickCount() - start, 2000u);
}

TEST_F(ConfigTest, ReplacingAFileLeavesNoTraceWhenTheNewOneCannotBeWritten) {
    TempDir dir;
    std::string path = dir.Path("quorvane.cfg");
    ASSERT_TRUE(WriteFile(path, "old content\r\n"));
    ASSERT_TRUE(ReplaceFileContents(path.c_str(), "new\r\n", 5));
    EXPECT_EQ(ReadFile(path), "new\r\n");
    EXPECT_EQ(::GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);

    // The new file cannot be made (its name is taken by a folder): the old one stays.
    ASSERT_TRUE(::CreateDirectoryA((path + ".new").c_str(), nullptr));
    EXPECT_FALSE(ReplaceFileContents(path.c_str(), "lost\r\n", 6));
    EXPECT_EQ(ReadFile(path), "new\r\n");
    ::RemoveDirectoryA((path + ".new").c_str());

    // A folder that does not exist: refused, nothing written.
    EXPECT_FALSE(ReplaceFileContents(dir.Path("no\\such\\quorvane.cfg").c_str(), "x", 1));
}

// The child of the next test: saves two different configurations over path in turns.
int RunSaveLoop(const char* path) {
    App();
    fakeopc::Install();
    Loaded a, b;
    CServerConnection* ca = MakeConnection("A", "Sim.A", {});
    CServerConnection* cb = MakeConnection("B", "Sim.B", {});
    for (int i = 0; i < 3000; ++i) {
        char tag[64];
        std::snprintf(tag, sizeof tag, "Plant.Line%d.Tag%04d", i % 7, i);
        CTagItem* item = new CTagItem;
        item->m_strTagName = tag;
        ca->m_items.Add(item);
        if (i < 1500) {
            CTagItem* other = new CTagItem;
            other->m_strTagName = tag;
            cb->m_items.Add(other);
        }
    }
    a.connections.Add(ca);
    b.connections.Add(cb);
    std::string ta = Save("1.00", a.connections), tb = Save("1.00", b.connections);
    for (unsigned n = 0;; ++n) {
        const std::string& t = (n % 2) ? tb : ta;
        ReplaceFileContents(path, t.data(), static_cast<DWORD>(t.size()));
    }
}

TEST_F(ConfigTest, AProcessKilledWhileSavingLeavesAWholeConfiguration) {
    TempDir dir;
    std::string path = dir.Path("quorvane.cfg");
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, sizeof exe);
    for (int round = 0; round < 3; ++round) {
        ::DeleteFileA(path.c_str());  // so that the wait below sees this child's first save
        std::string cmd = std::string("\"") + exe + "\" --save-loop \"" + path + "\"";
        STARTUPINFOA si = {sizeof si};
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        // Let it save for a while, then end it mid-way, as a crash or power cut would.
        DWORD deadline = ::GetTickCount() + 20000;  // a loaded machine starts processes slowly
        while (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && ::GetTickCount() < deadline) Sleep(10);
        Sleep(150 + 97 * round);
        ::TerminateProcess(pi.hProcess, 9);
        ::WaitForSingleObject(pi.hProcess, 5000);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);

        std::string text = ReadFile(path);
        ASSERT_FALSE(text.empty()) << "round " << round;
        Loaded d;
        Load(text, &d);
        ASSERT_EQ(d.connections.GetSize(), 1) << "round " << round;
        int items = d.Conn(0)->GetItemCount();
        EXPECT_TRUE((d.Conn(0)->m_strAlias == "A" && items == 3000) || (d.Conn(0)->m_strAlias == "B" && items == 1500))
            << "round " << round << ": alias " << static_cast<const char*>(d.Conn(0)->m_strAlias) << ", " << items
            << " items";
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    }
}
