#include "tests/win/support/dde.h"

#include <windows.h>

namespace qvtest {

bool SameName(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::optional<qvdde::Cell> CellOf(const qvdde::Advise& a) { return qvdde::DecodeXlTable(a.data); }

std::string Show(const qvdde::Advise& a) {
    auto cell = CellOf(a);
    if (!cell) return a.item + " raw " + qvdde::HexBytes(a.data.data(), a.data.size());
    return a.item + " " + qvdde::KindName(cell->kind) + " " + qvdde::ValueText(*cell);
}

std::optional<qvdde::Advise> WaitForAdvise(qvdde::DdeClient& client, const std::string& item,
                                           const std::function<bool(const qvdde::Cell&)>& want, DWORD timeoutMs,
                                           std::vector<qvdde::Advise>* seen) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return std::nullopt;
        auto a = client.NextAdvise(DWORD(deadline - now));
        if (!a) return std::nullopt;
        if (SameName(a->item, item)) {
            auto cell = CellOf(*a);
            if (!want || (cell && want(*cell))) return a;
        }
        if (seen) seen->push_back(std::move(*a));
    }
}

std::vector<qvdde::Advise> Collect(qvdde::DdeClient& client, DWORD ms) {
    client.Pump(ms);
    std::vector<qvdde::Advise> all(std::make_move_iterator(client.queue().begin()),
                                   std::make_move_iterator(client.queue().end()));
    client.queue().clear();
    return all;
}

}  // namespace qvtest
