#include "tests/win/bridge/bridge_env.h"

namespace bridge {

const char kServerRequestedDisconnect[] = "<<<<<<< Server Requested Disconnect >>>>>>>>>";
const char kCaptionConnect[] = "Connect to OPC Server";
const char kCaptionReconnect[] = "Attempt Reconnect";

std::vector<std::string> StaticItems() {
    return {"Static.I1", "Static.I2",  "Static.I4",   "Static.UI1", "Static.UI2",  "Static.UI4", "Static.INT",
            "Static.UINT", "Static.R4", "Static.R8", "Static.BSTR", "Static.BOOL", "Static.DATE", "Static.CY"};
}

bool Bridge::Start(const std::vector<qvtest::ConfigConnection>& connections, std::string* why) {
    if (!app_.Start(qvtest::ConfigText(connections), why)) return false;
    for (const auto& c : connections)
        if (!app_.WaitForTopic(c.alias, 15000, why)) return false;
    // The last connection's tab is selected after start-up; its status tells that the
    // OPC connection stands.
    if (!WaitStatus("Connected: ", false, 20000)) {
        *why = "status line never read \"Connected: ...\" (it reads \"" + app_.Text(qvtest::kStatus) + "\")";
        std::string box = qvtest::FindMessageBox(app_.pid());
        if (!box.empty()) *why += "; message box: " + box;
        return false;
    }
    return true;
}

bool Bridge::WaitStatus(const std::string& text, bool exact, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        const std::string s = app_.Text(qvtest::kStatus);
        if (exact ? s == text : s.compare(0, text.size(), text) == 0) return true;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return false;
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
