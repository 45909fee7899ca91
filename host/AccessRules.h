// Who may use the service: the optional password and the optional list of client addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Compares without leaking, through its running time, where the texts differ or how long the
// expected one is.
bool ConstantTimeEquals(const std::string& given, const std::string& expected);

// Allowed client addresses: IPv4 addresses or networks "a.b.c.d/n", separated by blanks,
// commas or semicolons. An empty list allows every address.
class AddressList {
public:
    // False when an entry cannot be read; the entries that can are kept, the others ignored
    // (so a typing error can only shut clients out, never let others in).
    bool Parse(const std::string& text, std::string* pBadEntry = nullptr);
    bool IsEmpty() const { return m_entries.empty() && !m_bHadEntries; }
    // The address in host byte order (127.0.0.1 is 0x7F000001).
    bool Allows(std::uint32_t address) const;

private:
    struct Entry {
        std::uint32_t network;
        std::uint32_t mask;
    };
    std::vector<Entry> m_entries;
    bool m_bHadEntries = false;
};

// "a.b.c.d" into host byte order; false for anything else.
bool ParseIPv4(const std::string& text, std::uint32_t& address);
