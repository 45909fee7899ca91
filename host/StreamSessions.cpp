#include "StreamSessions.h"

#include <cctype>
#include <cstdio>

namespace zarn {

void DeliveryLog::Sent(std::size_t bytes, std::uint64_t seq) {
    m_bytes += bytes;
    if (seq == 0) return;
    m_ends.emplace_back(m_bytes, seq);
    while (m_ends.front().first + kWindow < m_bytes) {
        if (m_ends.front().second > m_oldSeq) m_oldSeq = m_ends.front().second;
        m_oldEnd = m_ends.front().first;
        m_ends.pop_front();
    }
}

std::uint64_t DeliveryLog::LastDelivered(std::uint64_t lostBytes) const {
    std::uint64_t delivered = lostBytes < m_bytes ? m_bytes - lostBytes : 0;
    // Lost further back than the lines still counted: better no number than one too high.
    if (delivered < m_oldEnd) return 0;
    std::uint64_t highest = m_oldSeq;
    std::uint64_t firstLost = 0;  // lowest Seq that did not go out; 0: none
    for (const auto& end : m_ends) {
        if (end.first <= delivered) {
            if (end.second > highest) highest = end.second;
        } else if (firstLost == 0 || end.second < firstLost) {
            firstLost = end.second;
        }
    }
    // A replay sends older Seqs after newer ones: what was lost bounds what counts as delivered.
    if (firstLost != 0 && firstLost - 1 < highest) return firstLost - 1;
    return highest;
}

void SessionMemory::Remember(const std::string& id, const SessionEnd& end, std::uint64_t nowMs) {
    Expire(nowMs);
    if (!m_byId.emplace(id, Entry{end, nowMs}).second) return;  // a connection ends once
    m_order.push_back(id);
    while (m_byId.size() > m_max) {
        m_byId.erase(m_order.front());
        m_order.pop_front();
    }
}

bool SessionMemory::Find(const std::string& id, std::uint64_t nowMs, SessionEnd& out) {
    Expire(nowMs);
    auto it = m_byId.find(id);
    if (it == m_byId.end()) return false;
    out = it->second.end;
    return true;
}

void SessionMemory::Expire(std::uint64_t nowMs) {
    while (!m_order.empty() && nowMs - m_byId[m_order.front()].atMs >= m_keepMs) {
        m_byId.erase(m_order.front());
        m_order.pop_front();
    }
}

std::string SessionIds::Next() {
    // splitmix64: every seed gives a full-period sequence of well-mixed values.
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    char text[17];
    std::snprintf(text, sizeof text, "%08lx%08lx", static_cast<unsigned long>(z >> 32),
                  static_cast<unsigned long>(z & 0xFFFFFFFFu));
    return text;
}

bool IsSessionId(const std::string& text) {
    if (text.size() != 16) return false;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace zarn
