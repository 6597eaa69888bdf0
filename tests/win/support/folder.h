#pragma once
// Temporary folders for tests: a fresh folder under %TEMP% removed with its content at
// the end, and the program folder that holds a private copy of quorvane.exe and
// KOBRIX2.dll with the configuration file beside them (the program reads and writes
// quorvane.cfg in its own directory).
#include <string>
#include <vector>

namespace qvtest {

// Folder of the running test executable (bin/), where the programs under test live.
std::string BinDir();
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

class TempFolder {
  public:
    explicit TempFolder(const std::string& tag = "qv");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }
    bool ok() const { return !path_.empty(); }

  private:
    std::string path_;
};

class AppFolder : public TempFolder {
  public:
    AppFolder();
    // Copies the program and its library from BinDir(); false with the reason.
    bool Prepare(std::string* why);
    std::string exe() const { return File("quorvane.exe"); }
    std::string configPath() const { return File("quorvane.cfg"); }
    bool WriteConfig(const std::string& text) const { return WriteFileBytes(configPath(), text); }
    bool ReadConfig(std::string* text) const { return ReadFileBytes(configPath(), text); }
};

// One connection of a configuration file, with the defaults of a new connection.
struct ConfigConnection {
    std::string alias;
    std::string server = "Quorvane.Simulation.1";
    std::string machine;
    unsigned updateRate = 1000;
    float deadband = 0.0f;
    std::vector<std::string> items;
};
// A connection with these items and, unless given otherwise, the defaults above.
inline ConfigConnection Conn(const std::string& alias, const std::vector<std::string>& items,
                             const std::string& server = "Quorvane.Simulation.1", unsigned rate = 1000) {
    return {alias, server, std::string(), rate, 0.0f, items};
}

// The exact bytes of quorvane.cfg for these connections: "FileRev = 1.00", the count,
// then per connection its six entries and its TagName lines, each line ending CR LF,
// the deadband with six decimals.
std::string ConfigText(const std::vector<ConfigConnection>& connections, const std::string& fileRev = "1.00");

}  // namespace qvtest
