#include "TokenList.h"

#include <cstdio>
#include <cstring>

namespace vessnet {

namespace {
constexpr std::size_t kListMaxChars = kTokenListSize - 2;  // 127 including the terminator

// Copies src behind the list's current text, as much as fits in kListMaxChars.
void AppendCut(char* list, const char* src) {
    std::size_t used = std::strlen(list);
    if (used >= kListMaxChars) return;
    std::size_t room = kListMaxChars - used;
    std::size_t n = std::strlen(src);
    if (n > room) n = room;
    std::memmove(list + used, src, n);
    list[used + n] = '\0';
}
}  // namespace

void MakeTokenEntry(char (&entry)[kTokenEntrySize], const char* token) {
    std::memset(entry, 0, sizeof entry);
    std::snprintf(entry, kTokenEntrySize - 1, "%s|", token);
}

bool TokenListMatches(const char* list, const char* entry) { return std::strstr(list, entry) != nullptr; }

void TokenListSet(char* list, const char* entry) {
    list[0] = '\0';
    AppendCut(list, entry);
}

void TokenListAdd(char* list, const char* entry) {
    if (!TokenListMatches(list, entry)) AppendCut(list, entry);
}

void TokenListRemove(char* list, const char* entry) {
    char* found = std::strstr(list, entry);
    if (found == nullptr || *entry == '\0') return;
    const char* rest = found + std::strlen(entry);
    std::memmove(found, rest, std::strlen(rest) + 1);
}

void TokenListFirst(char (&first)[kFirstTokenSize], const char* list) {
    std::memset(first, 0, sizeof first);
    std::size_t n = std::strcspn(list, "|");
    if (n <= kFirstTokenSize - 2) std::memcpy(first, list, n);
}

}  // namespace vessnet
