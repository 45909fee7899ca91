#include "TranslateRules.h"

#include <cctype>
#include <vector>

namespace tapisim {

namespace {

constexpr uint32_t kCanonical = 0x00000001;
constexpr uint32_t kInternational = 0x00000002;
constexpr uint32_t kLongDistance = 0x00000004;
constexpr uint32_t kLocal = 0x00000008;

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::vector<std::string> SplitBlanks(const std::string& s) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == ' ') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

}  // namespace

std::string DefaultInternationalAccess(uint32_t country) { return country == 1 ? "011" : "00"; }

bool TranslateCanonical(const DialLocation& location, const std::string& canonical, bool forceLongDistance,
                        Translation* out) {
    if (canonical.size() < 2 || canonical[0] != '+') return false;
    std::vector<std::string> parts = SplitBlanks(canonical.substr(1));
    if (parts.size() < 2 || parts.size() > 3 || parts[0].size() > 4) return false;
    if (parts.size() == 3 && parts[1].size() > 2 && parts[1].front() == '(' && parts[1].back() == ')')
        parts[1] = parts[1].substr(1, parts[1].size() - 2);  // "+1 (212) 5551234"
    for (const std::string& p : parts)
        if (!AllDigits(p)) return false;

    const uint32_t cc = static_cast<uint32_t>(std::stoul(parts[0]));
    const std::string area = parts.size() == 3 ? parts[1] : std::string();
    const std::string rest = parts.back();
    std::string intl = location.internationalAccess.empty() ? DefaultInternationalAccess(location.country)
                                                            : location.internationalAccess;

    Translation t;
    t.destCountry = cc;
    t.results = kCanonical;
    if (cc != location.country) {
        t.dialable = location.outsideAccess + intl + parts[0] + area + rest;
        t.results |= kInternational;
    } else if (forceLongDistance || (!area.empty() && area != location.areaCode)) {
        t.dialable = location.outsideAccess + location.longDistanceAccess + area + rest;
        t.results |= kLongDistance;
    } else {
        t.dialable = location.outsideAccess + rest;
        t.results |= kLocal;
    }
    t.displayable = t.dialable;
    *out = t;
    return true;
}

}  // namespace tapisim
