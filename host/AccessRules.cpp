#include "AccessRules.h"

#include <cctype>

bool ConstantTimeEquals(const std::string& given, const std::string& expected) {
    // Always walk the whole given text; bytes beyond the expected one compare against 0.
    unsigned diff = given.size() == expected.size() ? 0u : 1u;
    for (std::size_t i = 0; i < given.size(); ++i) {
        unsigned char e = i < expected.size() ? static_cast<unsigned char>(expected[i]) : 0;
        diff |= static_cast<unsigned char>(given[i]) ^ e;
    }
    return diff == 0 && !expected.empty();
}

bool ParseIPv4(const std::string& text, std::uint32_t& address) {
    std::uint32_t value = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
        std::size_t start = i;
        unsigned octet = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i - start < 3)
            octet = octet * 10 + static_cast<unsigned>(text[i++] - '0');
        if (i == start || octet > 255) return false;
        value = (value << 8) | octet;
    }
    if (i != text.size()) return false;
    address = value;
    return true;
}

bool AddressList::Parse(const std::string& text, std::string* pBadEntry) {
    m_entries.clear();
    m_bHadEntries = false;
    bool bAllGood = true;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == ';' || text[i] == '\t')) ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != ';' && text[i] != '\t') ++i;
        if (i == start) break;
        std::string entry = text.substr(start, i - start);
        m_bHadEntries = true;
        std::string addressText = entry;
        int bits = 32;
        std::size_t slash = entry.find('/');
        bool bGood = true;
        if (slash != std::string::npos) {
            addressText = entry.substr(0, slash);
            std::string bitsText = entry.substr(slash + 1);
            bGood = !bitsText.empty() && bitsText.size() <= 2 &&
                    std::isdigit(static_cast<unsigned char>(bitsText[0])) &&
                    (bitsText.size() == 1 || std::isdigit(static_cast<unsigned char>(bitsText[1])));
            if (bGood) bits = std::stoi(bitsText);
            bGood = bGood && bits <= 32;
        }
        std::uint32_t address = 0;
        if (bGood && ParseIPv4(addressText, address)) {
            std::uint32_t mask = bits == 0 ? 0u : 0xFFFFFFFFu << (32 - bits);
            m_entries.push_back({address & mask, mask});
        } else {
            if (bAllGood && pBadEntry) *pBadEntry = entry;
            bAllGood = false;
        }
    }
    return bAllGood;
}

bool AddressList::Allows(std::uint32_t address) const {
    if (!m_bHadEntries) return true;
    for (const Entry& e : m_entries) {
        if ((address & e.mask) == e.network) return true;
    }
    return false;
}
