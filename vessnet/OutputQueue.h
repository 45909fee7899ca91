// The bytes waiting to go to one client: a fixed ring, filled with whole lines only.
// Standard library only.
#pragma once

#include <cstddef>

namespace vessnet {

class OutputQueue {
public:
    // Sized for the events a busy supervisor client is sent while its receive window is
    // full (see README); at least 30 lines of the longest kind.
    static constexpr std::size_t kCapacity = 64 * 1024;

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
