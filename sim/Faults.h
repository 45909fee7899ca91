// Injected failures: per TAPI function name, a queue of errors that its next calls return.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace tapisim {

class FaultTable {
public:
    // The next `times` calls of `function` fail with `error`, after any failures already queued.
    void Add(const char* function, int times, int32_t error);
    // Takes the next failure queued for `function`; false when there is none.
    bool Take(const char* function, int32_t* error);
    void Clear();

private:
    std::mutex m_mutex;
    std::map<std::string, std::deque<int32_t>> m_pending;
};

}  // namespace tapisim
