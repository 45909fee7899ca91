// Which client monitors which extension. The line of an extension is open while at least one
// client monitors it; the registry says when the first client comes and the last one goes.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class MonitorRegistry {
public:
    using ClientId = std::uintptr_t;

    enum class AddResult { Added, AddedFirst, AlreadyMonitored };
    enum class RemoveResult { NotMonitored, Removed, RemovedLast };

    AddResult Add(ClientId client, const std::string& ext);
    RemoveResult Remove(ClientId client, const std::string& ext);
    bool IsMonitoring(ClientId client, const std::string& ext) const;
    std::size_t ClientCount(const std::string& ext) const;
    std::vector<std::string> ExtensionsOf(ClientId client) const;
    std::vector<ClientId> ClientsOf(const std::string& ext) const;
    // Forgets the client; returns the extensions nobody monitors any more.
    std::vector<std::string> RemoveClient(ClientId client);

private:
    std::map<ClientId, std::set<std::string>> m_byClient;
    std::map<std::string, std::set<ClientId>> m_byExt;
};
