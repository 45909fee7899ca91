// Token lists of connections: entries "token|" one after another, matched by substring.
// Standard library only.
#pragma once

#include <cstddef>

namespace vessnet {

constexpr std::size_t kTokenEntrySize = 32;  // an entry holds at most 30 characters
constexpr std::size_t kTokenListSize = 128;  // a list holds at most 126 characters
constexpr std::size_t kFirstTokenSize = 64;  // a first token of more than 62 characters reads as ""

// "token|" cut to 30 characters: a token of 30 or more characters keeps no bar.
void MakeTokenEntry(char (&entry)[kTokenEntrySize], const char* token);

// True when the entry occurs anywhere in the list (case-sensitive).
bool TokenListMatches(const char* list, const char* entry);

// The list becomes the one entry.
void TokenListSet(char* list, const char* entry);
// Appends the entry unless the list already matches it; cut at 126 characters.
void TokenListAdd(char* list, const char* entry);
// Removes the first occurrence of the entry; the rest moves up.
void TokenListRemove(char* list, const char* entry);
// The text before the first bar, or "" when it is longer than 62 characters.
void TokenListFirst(char (&first)[kFirstTokenSize], const char* list);

}  // namespace vessnet
