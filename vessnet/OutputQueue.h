// The bytes waiting to go to one client: a fixed ring, filled with whole lines only.
// Standard library only.
#pragma once

#include <cstddef>

namespace vessnet {

class OutputQueue {
public:
    // Sized for the events a supervisor client is sent in a burst while its receive window
    // is full: a ring on 247 monitored lines at once is about 68 KB (see README).
    static constexpr std::size_t kCapacity = 128 * 1024;

    void Clear() { m_head = m_size = 0; }
    bool Empty() const { return m_size == 0; }
    std::size_t Size() const { return m_size; }
    std::size_t Room() const { return kCapacity - m_size; }

    // Appends all n bytes, or nothing when they do not fit.
    bool Push(const char* data, std::size_t n);
    // The oldest bytes that lie in one piece; n is 0 when the queue is empty.
    const char* Front(std::size_t& n) const;
    // Forgets the n oldest bytes (at most Size()).
    void Pop(std::size_t n);

private:
    char m_data[kCapacity];
    std::size_t m_head = 0;
    std::size_t m_size = 0;
};

}  // namespace vessnet
