// Throttling of login attempts per client address, against password guessing.
//
// The first kFreeFailures wrong passwords cost nothing (people mistype). Each further one makes
// the address wait before its next attempt is looked at, twice as long each time, and
// kLockoutFailures wrong passwords lock the address out for the lockout window. While an
// address waits, its attempts are refused unchecked, so even the right password does not get
// in. A success forgets the address. Times are milliseconds of any monotonic clock.
#pragma once

#include <cstdint>
#include <map>

class LoginThrottle {
public:
    enum : unsigned { kFreeFailures = 3, kLockoutFailures = 10 };

    explicit LoginThrottle(std::uint32_t lockoutSeconds = 300);

    // 0 when an attempt from the address may be checked now, else the seconds to wait.
    std::uint32_t WaitSeconds(std::uint32_t address, std::uint64_t nowMs) const;

    enum class Outcome { Counted, Delayed, LockedOut };
    // A wrong password. LockedOut when this failure starts the lockout window.
    Outcome Failed(std::uint32_t address, std::uint64_t nowMs);
    void Succeeded(std::uint32_t address);
    unsigned Failures(std::uint32_t address) const;
    std::uint32_t LockoutSeconds() const { return m_lockoutSeconds; }

private:
    enum : std::size_t { kMaxTracked = 4096 };
    struct Record {
        unsigned failures = 0;
        std::uint64_t blockedUntilMs = 0;
    };
    void Prune(std::uint64_t nowMs);

    std::uint32_t m_lockoutSeconds;
    std::map<std::uint32_t, Record> m_records;
};
