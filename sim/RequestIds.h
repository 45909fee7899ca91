// Request ids of asynchronous TAPI functions: positive, counted up to 0x7FFFFFFF and then from 1
// again, never one that is still pending. Each pending id remembers the application it answers.
#pragma once

#include <cstdint>
#include <map>

namespace tapisim {

class RequestIds {
public:
    static constexpr uint32_t kFirst = 1;
    static constexpr uint32_t kLast = 0x7FFFFFFF;

    // A new pending id for `owner`; 0 only when every id is pending.
    uint32_t Begin(uint32_t owner);
    // The application a pending id answers; false when the id is not pending.
    bool OwnerOf(uint32_t id, uint32_t* owner) const;
    // Ends a pending id; false when it is not pending.
    bool End(uint32_t id) { return m_pending.erase(id) != 0; }
    bool IsPending(uint32_t id) const { return m_pending.count(id) != 0; }
    // Forgets the pending ids of an application that is gone.
    void DropOwner(uint32_t owner);
    // The counter continues at `id` (taken into 1..0x7FFFFFFF).
    void SetNext(uint32_t id);
    void Clear();
    // Forgets the pending ids; the counter goes on, so ids from before do not come back soon.
    void ForgetPending() { m_pending.clear(); }

private:
    uint32_t m_next = kFirst;
    std::map<uint32_t, uint32_t> m_pending;  // id -> owner
};

}  // namespace tapisim
