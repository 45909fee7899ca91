// Holds a critical section for the life of a scope.
#pragma once

#include <windows.h>

namespace linvoq {

class ScopedLock {
public:
    explicit ScopedLock(CRITICAL_SECTION* pLock) : m_pLock(pLock) { EnterCriticalSection(m_pLock); }
    ~ScopedLock() { LeaveCriticalSection(m_pLock); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CRITICAL_SECTION* m_pLock;
};

}  // namespace linvoq
