#include "PendingCommands.h"

#include <cstdlib>

PendingCommands::PendingCommands(std::size_t capacity) : m_slots(capacity ? capacity : 1) {}

std::uint32_t PendingCommands::Add(const PendingCommand& command) {
    std::uint32_t id = m_nextId++;
    if (m_nextId == 0) m_nextId = 1;
    Slot& slot = m_slots[id % m_slots.size()];
    slot.id = id;
    slot.command = command;
    return id;
}

const PendingCommand* PendingCommands::Find(std::uint32_t id) const {
    if (id == 0) return nullptr;
    const Slot& slot = m_slots[id % m_slots.size()];
    return slot.id == id ? &slot.command : nullptr;
}

const PendingCommand* PendingCommands::FindText(const char* pszId) const {
    if (!pszId || *pszId < '0' || *pszId > '9') return nullptr;
    char* end = nullptr;
    unsigned long long value = std::strtoull(pszId, &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFull) return nullptr;
    return Find(static_cast<std::uint32_t>(value));
}

void PendingCommands::Remove(std::uint32_t id) {
    Slot& slot = m_slots[id % m_slots.size()];
    if (slot.id == id) slot = Slot();
}

void PendingCommands::DropClient(std::uintptr_t client) {
    for (Slot& slot : m_slots) {
        if (slot.id != 0 && slot.command.client == client) slot = Slot();
    }
}
