#include "MonitorRegistry.h"

MonitorRegistry::AddResult MonitorRegistry::Add(ClientId client, const std::string& ext) {
    if (!m_byClient[client].insert(ext).second) return AddResult::AlreadyMonitored;
    std::set<ClientId>& clients = m_byExt[ext];
    clients.insert(client);
    return clients.size() == 1 ? AddResult::AddedFirst : AddResult::Added;
}

MonitorRegistry::RemoveResult MonitorRegistry::Remove(ClientId client, const std::string& ext) {
    auto it = m_byClient.find(client);
    if (it == m_byClient.end() || it->second.erase(ext) == 0) return RemoveResult::NotMonitored;
    if (it->second.empty()) m_byClient.erase(it);
    auto clients = m_byExt.find(ext);
    clients->second.erase(client);
    if (clients->second.empty()) {
        m_byExt.erase(clients);
        return RemoveResult::RemovedLast;
    }
    return RemoveResult::Removed;
}

bool MonitorRegistry::IsMonitoring(ClientId client, const std::string& ext) const {
    auto it = m_byClient.find(client);
    return it != m_byClient.end() && it->second.count(ext) != 0;
}

std::size_t MonitorRegistry::ClientCount(const std::string& ext) const {
    auto it = m_byExt.find(ext);
    return it == m_byExt.end() ? 0 : it->second.size();
}

std::vector<std::string> MonitorRegistry::ExtensionsOf(ClientId client) const {
    auto it = m_byClient.find(client);
    if (it == m_byClient.end()) return {};
    return std::vector<std::string>(it->second.begin(), it->second.end());
}

std::vector<MonitorRegistry::ClientId> MonitorRegistry::ClientsOf(const std::string& ext) const {
    auto it = m_byExt.find(ext);
    if (it == m_byExt.end()) return {};
    return std::vector<ClientId>(it->second.begin(), it->second.end());
}

std::vector<std::string> MonitorRegistry::RemoveClient(ClientId client) {
    std::vector<std::string> unmonitored;
    for (const std::string& ext : ExtensionsOf(client)) {
        if (Remove(client, ext) == RemoveResult::RemovedLast) unmonitored.push_back(ext);
    }
    return unmonitored;
}
