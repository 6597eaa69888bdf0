#pragma once
// quorvane.exe running against the simulation server, as the peer of the bridge tests.
// Each Bridge starts its own copy of the program in its own folder with the given
// configuration and waits until the first connection reports "Connected: ...".
#include <gtest/gtest.h>

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

// A conversation with the bridge, asserting it opened.
std::unique_ptr<qvdde::Conversation> Open(qvdde::DdeClient& client, const std::string& topic);

}  // namespace bridge
