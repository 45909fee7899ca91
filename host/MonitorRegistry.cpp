#include "MonitorRegistry.h"

MonitorRegistry::AddResult MonitorRegistry::Add(ClientId client, const std::string& ext) {
    if (!m_byClient[client].insert(ext).second) return AddResult::AlreadyMonitored;
    return ++m_counts[ext] == 1 ? AddResult::AddedFirst : AddResult::Added;
}

MonitorRegistry::RemoveResult MonitorRegistry::Remove(ClientId client, const std::string& ext) {
    auto it = m_byClient.find(client);
    if (it == m_byClient.end() || it->second.erase(ext) == 0) return RemoveResult::NotMonitored;
    if (it->second.empty()) m_byClient.erase(it);
    auto count = m_counts.find(ext);
    if (--count->second == 0) {
        m_counts.erase(count);
        return RemoveResult::RemovedLast;
    }
    return RemoveResult::Removed;
}

bool MonitorRegistry::IsMonitoring(ClientId client, const std::string& ext) const {
    auto it = m_byClient.find(client);
    return it != m_byClient.end() && it->second.count(ext) != 0;
}

std::size_t MonitorRegistry::ClientCount(const std::string& ext) const {
    auto it = m_counts.find(ext);
    return it == m_counts.end() ? 0 : it->second;
}

std::vector<std::string> MonitorRegistry::ExtensionsOf(ClientId client) const {
    auto it = m_byClient.find(client);
    if (it == m_byClient.end()) return {};
    return std::vector<std::string>(it->second.begin(), it->second.end());
}

std::vector<std::string> MonitorRegistry::RemoveClient(ClientId client) {
    std::vector<std::string> unmonitored;
    for (const std::string& ext : ExtensionsOf(client)) {
        if (Remove(client, ext) == RemoveResult::RemovedLast) unmonitored.push_back(ext);
    }
    return unmonitored;
}
