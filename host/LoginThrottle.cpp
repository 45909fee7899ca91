#include "LoginThrottle.h"

LoginThrottle::LoginThrottle(std::uint32_t lockoutSeconds) : m_lockoutSeconds(lockoutSeconds) {}

std::uint32_t LoginThrottle::WaitSeconds(std::uint32_t address, std::uint64_t nowMs) const {
    auto it = m_records.find(address);
    if (it == m_records.end() || it->second.blockedUntilMs <= nowMs) return 0;
    return static_cast<std::uint32_t>((it->second.blockedUntilMs - nowMs + 999) / 1000);
}

LoginThrottle::Outcome LoginThrottle::Failed(std::uint32_t address, std::uint64_t nowMs) {
    if (m_records.size() >= kMaxTracked && !m_records.count(address)) Prune(nowMs);
    Record& r = m_records[address];
    // A lockout that has run out starts the count afresh.
    if (r.failures >= kLockoutFailures && r.blockedUntilMs <= nowMs) r.failures = 0;
    ++r.failures;
    if (r.failures >= kLockoutFailures) {
        r.blockedUntilMs = nowMs + std::uint64_t(m_lockoutSeconds) * 1000;
        return r.failures == kLockoutFailures ? Outcome::LockedOut : Outcome::Delayed;
    }
    if (r.failures <= kFreeFailures) return Outcome::Counted;
    r.blockedUntilMs = nowMs + (std::uint64_t(1000) << (r.failures - kFreeFailures - 1));
    return Outcome::Delayed;
}

void LoginThrottle::Succeeded(std::uint32_t address) { m_records.erase(address); }

unsigned LoginThrottle::Failures(std::uint32_t address) const {
    auto it = m_records.find(address);
    return it == m_records.end() ? 0 : it->second.failures;
}

void LoginThrottle::Prune(std::uint64_t nowMs) {
    for (auto it = m_records.begin(); it != m_records.end();) {
        if (it->second.blockedUntilMs <= nowMs && it->second.failures < kLockoutFailures)
            it = m_records.erase(it);
        else
            ++it;
    }
    // Still full: an attacker with many addresses; forget the oldest numbers rather than grow.
    if (m_records.size() >= kMaxTracked) m_records.clear();
}
