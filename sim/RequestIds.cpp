#include "RequestIds.h"

namespace tapisim {

uint32_t RequestIds::Begin(uint32_t owner) {
    if (m_pending.size() >= kLast) return 0;
    for (;;) {
        uint32_t id = m_next;
        m_next = (id >= kLast) ? kFirst : id + 1;
        if (!IsPending(id)) {
            m_pending[id] = owner;
            return id;
        }
    }
}

bool RequestIds::OwnerOf(uint32_t id, uint32_t* owner) const {
    auto it = m_pending.find(id);
    if (it == m_pending.end()) return false;
    *owner = it->second;
    return true;
}

void RequestIds::DropOwner(uint32_t owner) {
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->second == owner)
            it = m_pending.erase(it);
        else
            ++it;
    }
}

void RequestIds::SetNext(uint32_t id) {
    if (id < kFirst || id > kLast) id = kFirst;
    m_next = id;
}

void RequestIds::Clear() {
    m_pending.clear();
    m_next = kFirst;
}

}  // namespace tapisim
