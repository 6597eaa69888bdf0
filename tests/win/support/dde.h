#pragma once
// DDE conversations from the test process with quorvane.exe (the test is the DDE client,
// the program in its child process the server), built on the qvdde client library.
// Same thread rules: the DdeClient and its conversations belong to the test's thread,
// and advises arrive only while that thread waits in these helpers.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/qvdde_client.h"
#include "tools/qvdde_xltable.h"

namespace qvtest {

// The clipboard format the tests ask for: below 0xC000, so that Wine delivers advises
// without the sign-extension fix (the bridge labels XlTable data with whatever we ask).
constexpr UINT kTestFormat = 4;  // CF_SYLK

// The cell of an advise, or nothing if its block is not a one-cell XlTable.
std::optional<qvdde::Cell> CellOf(const qvdde::Advise& a);
// "item kind value" for messages.
std::string Show(const qvdde::Advise& a);

// Waits for the first advise on `item` (case-insensitive) whose cell satisfies `want` (any
// advise on it, without `want`); advises on other items or not matching are kept in *seen
// (if given) in arrival order.
std::optional<qvdde::Advise> WaitForAdvise(qvdde::DdeClient& client, const std::string& item,
                                           const std::function<bool(const qvdde::Cell&)>& want, DWORD timeoutMs,
                                           std::vector<qvdde::Advise>* seen = nullptr);
inline std::optional<qvdde::Advise> WaitForAny(qvdde::DdeClient& client, const std::string& item, DWORD timeoutMs,
                                               std::vector<qvdde::Advise>* seen = nullptr) {
    return WaitForAdvise(client, item, nullptr, timeoutMs, seen);
}
// Collects every advise that arrives within ms.
std::vector<qvdde::Advise> Collect(qvdde::DdeClient& client, DWORD ms);

bool SameName(const std::string& a, const std::string& b);

}  // namespace qvtest
