// Commands waiting for their completion. The service gives each command its own number (the
// library carries it through to the completion); the entry tells whose command it was.
//
// Entries stay until a newer command reuses their place, since one command can complete in
// several steps (a consultation set up and then dialled). A client's entries go with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PendingCommand {
    std::uintptr_t client = 0;
    std::string invokeId;
    std::string cmd;
    std::string ext;
};

class PendingCommands {
public:
    explicit PendingCommands(std::size_t capacity = 256);

    // The number to pass with the command; never 0.
    std::uint32_t Add(const PendingCommand& command);
    const PendingCommand* Find(std::uint32_t id) const;
    // Looks up the decimal text the library hands back; null for anything else.
    const PendingCommand* FindText(const char* pszId) const;
    void Remove(std::uint32_t id);
    void DropClient(std::uintptr_t client);

private:
    struct Slot {
        std::uint32_t id = 0;
        PendingCommand command;
    };
    std::vector<Slot> m_slots;
    std::uint32_t m_nextId = 1;
};
