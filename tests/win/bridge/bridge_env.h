#pragma once
// quorvane.exe running against the simulation server, as the peer of the bridge tests.
// Each Bridge starts its own copy of the program in its own folder with the given
// configuration and waits until the first connection reports "Connected: ...".
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/win/support/app.h"
#include "tests/win/support/dde.h"
#include "tests/win/support/folder.h"

namespace bridge {

// Status texts of the main form.
extern const char kServerRequestedDisconnect[];
// Button captions of 1004.
extern const char kCaptionConnect[];
extern const char kCaptionReconnect[];

// The writable items of the simulation server, one per type.
std::vector<std::string> StaticItems();

// A connection updating every 200 ms unless told otherwise.
inline qvtest::ConfigConnection Conn(const std::string& alias, const std::vector<std::string>& items,
                                     const std::string& server = "Quorvane.Simulation.1", unsigned rate = 200) {
    return qvtest::Conn(alias, items, server, rate);
}

// Writes a value from a conversation of its own, without hot links: Wine's client reports
// a poke as refused when advise data arrives on the same conversation while it waits.
::testing::AssertionResult Poke(const std::string& topic, const std::string& item, const qvdde::Cell& value);

class Bridge {
  public:
    // Starts the program and waits until every topic answers and the status reads connected.
    ::testing::AssertionResult Start(const std::vector<qvtest::ConfigConnection>& connections);
    // Waits until the status line starts with text (or equals it, with exact).
    bool WaitStatus(const std::string& text, bool exact, DWORD timeoutMs);
    // The list row whose tag name is item: its cells, or empty.
    std::vector<std::string> Row(const std::string& item) const;

    qvtest::QuorvaneApp& app() { return app_; }

  private:
    qvtest::QuorvaneApp app_;
};

// One quorvane.exe for a whole suite, configured by Derived::Connections(); each test
// fails at once if it did not come up.
template <class Derived>
class SharedBridge : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        bridge_ = std::make_unique<Bridge>();
        ::testing::AssertionResult started = bridge_->Start(Derived::Connections());
        if (!started) startError_ = started.message(), bridge_.reset();
    }
    static void TearDownTestSuite() {
        if (bridge_) bridge_->app().Close();
        // One program serves the whole suite: a failure there is read from its own log.
        std::string log;
        if (bridge_ && ::testing::UnitTest::GetInstance()->current_test_suite()->failed_test_count() > 0 &&
            qvtest::ReadFileBytes(bridge_->app().folder().File("quorvane.log"), &log))
            std::printf("---- quorvane.log ----\n%s\n", log.c_str());
        bridge_.reset();
    }
    void SetUp() override { ASSERT_TRUE(bridge_) << "quorvane.exe did not come up: " << startError_; }

    static inline std::unique_ptr<Bridge> bridge_;
    static inline std::string startError_;
};

// A conversation with the bridge, asserting it opened.
std::unique_ptr<qvdde::Conversation> Open(qvdde::DdeClient& client, const std::string& topic);

}  // namespace bridge
