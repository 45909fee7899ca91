// What a ZARN 2 client learns when it comes back: how far its stream got before its connection
// ended. Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>

namespace zarn {

// The lines sent to one connection, counted in bytes, so that the bytes the connection server
// reports as lost at the end tell which event lines reached the network.
class DeliveryLog {
public:
    // A line of `bytes` on the wire; seq is its event's Seq, 0 for every other line.
    void Sent(std::size_t bytes, std::uint64_t seq);
    // The highest n such that every event line with Seq <= n sent to the connection went out
    // whole, when the last `lostBytes` bytes sent never did.
    std::uint64_t LastDelivered(std::uint64_t lostBytes) const;

private:
    // Event lines further back than this certainly left: the server's queue is far smaller.
    static const std::uint64_t kWindow = 1024 * 1024;

    std::uint64_t m_bytes = 0;
    std::deque<std::pair<std::uint64_t, std::uint64_t>> m_ends;  // end offset and Seq of recent event lines
    std::uint64_t m_oldSeq = 0;                                  // highest Seq of the event lines let go from m_ends
    std::uint64_t m_oldEnd = 0;                                  // where the newest of them ended
};

struct SessionEnd {
    std::string reason;  // Overflow or Closed
    std::uint64_t lastDelivered = 0;
};

// Sessions whose connection ended, for a bounded time and number.
class SessionMemory {
public:
    explicit SessionMemory(std::size_t maxSessions = 256, std::uint64_t keepMs = 10 * 60 * 1000)
        : m_max(maxSessions), m_keepMs(keepMs) {}

    void Remember(const std::string& id, const SessionEnd& end, std::uint64_t nowMs);
    bool Find(const std::string& id, std::uint64_t nowMs, SessionEnd& out);

private:
    void Expire(std::uint64_t nowMs);

    struct Entry {
        SessionEnd end;
        std::uint64_t atMs;
    };
    std::size_t m_max;
    std::uint64_t m_keepMs;
    std::map<std::string, Entry> m_byId;
    std::deque<std::string> m_order;  // oldest first
};

// 16 hex digits, from a generator seeded once per service.
class SessionIds {
public:
    explicit SessionIds(std::uint64_t seed) : m_state(seed) {}
    std::string Next();

private:
    std::uint64_t m_state;
};

// A session id as clients send it back: 16 hex digits.
bool IsSessionId(const std::string& text);

}  // namespace zarn
