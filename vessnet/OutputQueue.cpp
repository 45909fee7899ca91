#include "OutputQueue.h"

#include <cstring>

namespace vessnet {

bool OutputQueue::Push(const char* data, std::size_t n) {
    if (n > Room()) return false;
    std::size_t tail = (m_head + m_size) % kCapacity;
    std::size_t first = n < kCapacity - tail ? n : kCapacity - tail;
    std::memcpy(m_data + tail, data, first);
    std::memcpy(m_data, data + first, n - first);
    m_size += n;
    return true;
}

const char* OutputQueue::Front(std::size_t& n) const {
    std::size_t toEnd = kCapacity - m_head;
    n = m_size < toEnd ? m_size : toEnd;
    return m_data + m_head;
}

void OutputQueue::Pop(std::size_t n) {
    if (n > m_size) n = m_size;
    m_head = (m_head + n) % kCapacity;
    m_size -= n;
    if (m_size == 0) m_head = 0;  // the next lines lie in one piece again
}

}  // namespace vessnet
