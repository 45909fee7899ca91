#include "ForwardList.h"

#include <cstdio>
#include <cstring>

namespace tapisim {

namespace {

const uint32_t kHeaderSize = 8;  // dwTotalSize, dwNumEntries
const uint32_t kEntrySize = 24;  // the fields every version shares
const uint32_t kLastForwardMode = 0x00010000;

uint32_t Field(const unsigned char* list, uint32_t offset) {
    uint32_t value;
    std::memcpy(&value, list + offset, sizeof value);
    return value;
}

// The text's bytes; false when it does not lie inside the list, between `fixedEnd` and its end.
bool Text(const unsigned char* list, uint32_t total, uint32_t size, uint32_t offset, bool wide, std::string* out,
          uint32_t fixedEnd = 0) {
    out->clear();
    if (size == 0) return true;
    if (offset < fixedEnd || offset > total || size > total - offset) return false;
    uint32_t unit = wide ? 2 : 1;
    for (uint32_t i = 0; i + unit <= size; i += unit) {
        const unsigned char* c = list + offset + i;
        if (c[0] == 0 && (!wide || c[1] == 0)) break;
        out->append(reinterpret_cast<const char*>(c), unit);
    }
    return true;
}

bool ValidMode(uint32_t mode) { return mode != 0 && mode <= kLastForwardMode && (mode & (mode - 1)) == 0; }

// The text for the journal: bytes as they are, UTF-16 units outside ASCII as '?'.
std::string Printable(const std::string& text, bool wide) {
    if (!wide) return text;
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8);
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return out;
}

}  // namespace

uint32_t ForwardEntrySize(uint32_t apiVersion) { return apiVersion >= 0x00030001 ? 32 : kEntrySize; }

ForwardListCheck ReadForwardList(const unsigned char* list, bool wide, uint32_t apiVersion,
                                 std::vector<ForwardEntry>* entries) {
    entries->clear();
    uint32_t entrySize = ForwardEntrySize(apiVersion);
    uint32_t total = Field(list, 0);
    if (total < kHeaderSize + entrySize) return ForwardListCheck::kTooSmall;
    uint32_t count = Field(list, 4);
    if (count > (total - kHeaderSize) / entrySize) return ForwardListCheck::kBadEntry;
    uint32_t fixedEnd = kHeaderSize + count * entrySize;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t at = kHeaderSize + i * entrySize;
        ForwardEntry entry;
        entry.mode = Field(list, at);
        entry.destCountryCode = Field(list, at + 12);
        if (!ValidMode(entry.mode) ||
            !Text(list, total, Field(list, at + 4), Field(list, at + 8), wide, &entry.caller, fixedEnd) ||
            !Text(list, total, Field(list, at + 16), Field(list, at + 20), wide, &entry.dest, fixedEnd))
            return ForwardListCheck::kBadEntry;
        entries->push_back(entry);
    }
    return ForwardListCheck::kOk;
}

std::string ForwardListJournal(const unsigned char* list, bool wide) {
    if (!list) return "list=null";
    char buf[96];
    uint32_t total = Field(list, 0);
    if (total < kHeaderSize) {
        std::snprintf(buf, sizeof buf, "list=%lu", static_cast<unsigned long>(total));
        return buf;
    }
    uint32_t count = Field(list, 4);
    if (total < kHeaderSize + kEntrySize) {
        std::snprintf(buf, sizeof buf, "list=%lu/%lu", static_cast<unsigned long>(total),
                      static_cast<unsigned long>(count));
        return buf;
    }
    uint32_t mode = Field(list, 8), size = Field(list, 24), offset = Field(list, 28);
    std::snprintf(buf, sizeof buf, "list=%lu/%lu/0x%08lX/%lu/%lu/", static_cast<unsigned long>(total),
                  static_cast<unsigned long>(count), static_cast<unsigned long>(mode), static_cast<unsigned long>(size),
                  static_cast<unsigned long>(offset));
    std::string dest;
    if (!Text(list, total, size, offset, wide, &dest)) dest.clear();
    return buf + ("\"" + Printable(dest, wide) + "\"");
}

}  // namespace tapisim
