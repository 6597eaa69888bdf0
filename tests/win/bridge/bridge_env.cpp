#include "tests/win/bridge/bridge_env.h"

namespace bridge {

const char kServerRequestedDisconnect[] = "<<<<<<< Server Requested Disconnect >>>>>>>>>";
const char kCaptionConnect[] = "Connect to OPC Server";
const char kCaptionReconnect[] = "Attempt Reconnect";

std::vector<std::string> StaticItems() {
    return {"Static.I1",   "Static.I2", "Static.I4", "Static.UI1",  "Static.UI2",  "Static.UI4",  "Static.INT",
            "Static.UINT", "Static.R4", "Static.R8", "Static.BSTR", "Static.BOOL", "Static.DATE", "Static.CY"};
}

::testing::AssertionResult Poke(const std::string& topic, const std::string& item, const qvdde::Cell& value) {
    qvdde::DdeClient client;
    auto conv = Open(client, topic);
    if (!conv) return ::testing::AssertionFailure() << "no conversation";
    qvdde::Result r = conv->Poke(item, qvtest::kTestFormat, qvdde::EncodeXlTable(value));
    if (r.ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "poke of " << item << " refused: " << qvdde::ErrorName(r.error);
}

::testing::AssertionResult Bridge::Start(const std::vector<qvtest::ConfigConnection>& connections) {
    ::testing::AssertionResult started = app_.Start(qvtest::ConfigText(connections));
    for (const auto& c : connections)
        if (started) started = app_.WaitForTopic(c.alias);
    if (!started) return started;
    // The last connection's tab is selected after start-up; its status tells that the
    // OPC connection stands.
    if (WaitStatus("Connected: ", false, 20000)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "status line never read \"Connected: ...\" (it reads \""
                                         << app_.Text(IDC_STATUS)
                                         << "\"); message box: " << qvtest::FindMessageBox(app_.pid());
}

bool Bridge::WaitStatus(const std::string& text, bool exact, DWORD timeoutMs) {
    return qvtest::WaitUntil(
        [&] {
            const std::string s = app_.Text(IDC_STATUS);
            return exact ? s == text : s.compare(0, text.size(), text) == 0;
        },
        timeoutMs);
}

std::vector<std::string> Bridge::Row(const std::string& item) const {
    for (auto& row : app_.ListRows())
        if (!row.empty() && row[0] == item) return row;
    return {};
}

std::unique_ptr<qvdde::Conversation> Open(qvdde::DdeClient& client, const std::string& topic) {
    UINT err = 0;
    auto conv = client.Connect("Quorvane", topic, &err);
    EXPECT_TRUE(conv) << "no conversation on topic " << topic << ": " << qvdde::ErrorName(err);
    return conv;
}

}  // namespace bridge
