#include "Faults.h"

namespace tapisim {

void FaultTable::Add(const char* function, int times, int32_t error) {
    if (!function || times <= 0) return;
    std::lock_guard<std::mutex> guard(m_mutex);
    std::deque<int32_t>& queue = m_pending[function];
    queue.insert(queue.end(), static_cast<std::size_t>(times), error);
}

bool FaultTable::Take(const char* function, int32_t* error) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_pending.empty()) return false;  // the usual case: no lookup at all
    auto it = m_pending.find(function);
    if (it == m_pending.end()) return false;
    *error = it->second.front();
    it->second.pop_front();
    if (it->second.empty()) m_pending.erase(it);
    return true;
}

void FaultTable::Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_pending.clear();
}

}  // namespace tapisim
