#include "kobrix/State.h"

namespace kobrix {

bool IsServerGone(HRESULT hr) {
    switch (static_cast<unsigned long>(hr)) {
        case 0x800706BAUL:  // RPC_S_SERVER_UNAVAILABLE
        case 0x800706BEUL:  // RPC_S_CALL_FAILED
        case 0x800706BFUL:  // RPC_S_CALL_FAILED_DNE
        case 0x80010007UL:  // RPC_E_SERVER_DIED
        case 0x80010012UL:  // RPC_E_SERVER_DIED_DNE
        case 0x80010108UL:  // RPC_E_DISCONNECTED
        case 0x800401FDUL:  // CO_E_OBJNOTCONNECTED
            return true;
        default:
            return false;
    }
}

Library& Library::Instance() {
    static Library library;
    return library;
}

std::shared_ptr<Server> Library::FindServer(int hServer) const {
    auto it = servers_.find(hServer);
    return it == servers_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<Server>> Library::Servers() const {
    std::vector<std::shared_ptr<Server>> all;
    for (const auto& entry : servers_) all.push_back(entry.second);
    return all;
}

std::shared_ptr<Server> Library::AddServer() {
    if (nextServer_ == 0x7fffffff) return nullptr;
    auto server = std::make_shared<Server>();
    server->handle = nextServer_++;
    servers_[server->handle] = server;
    return server;
}

void Library::DropServer(int hServer) {
    auto it = servers_.find(hServer);
    if (it == servers_.end()) return;
    it->second->removed = true;
    servers_.erase(it);
}

std::shared_ptr<Group> Library::FindGroup(const Server& server, int hGroup) {
    auto it = server.groups.find(hGroup);
    return it == server.groups.end() ? nullptr : it->second;
}

HRESULT Library::Note(Server& server, HRESULT hr) {
    if (IsServerGone(hr)) server.dead = true;
    return hr;
}

void Library::DeliverDataChange(int hServer, int hGroup, int hItem, const VARIANT* value, const FILETIME& time,
                                WORD quality) {
    auto server = FindServer(hServer);
    if (!server || !server->onDataChange) return;
    auto group = FindGroup(*server, hGroup);
    if (!group || group->items.find(hItem) == group->items.end()) return;
    server->onDataChange(hServer, hGroup, hItem, value, time.dwLowDateTime, time.dwHighDateTime, quality);
}

void Library::DeliverShutdown(int hServer) {
    auto server = FindServer(hServer);
    if (!server || !server->onShutdown) return;
    server->onShutdown(hServer);
}

}  // namespace kobrix
