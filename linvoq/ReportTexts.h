// Texts of the diagnostic reports that need no Windows call: TAPI feature masks, version
// numbers and provider paths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace linvoq {

// "0x%08X (" followed by the name and a blank of every named bit set, in the table's order,
// "None" when no name was added, then ")". Each formatter has its own buffer, valid until
// the same formatter runs again.
char* AddressFeaturesText(uint32_t dwMask);
char* LineFeaturesText(uint32_t dwMask);
char* CallFeaturesText(uint32_t dwMask);
char* CallFeatures2Text(uint32_t dwMask);

// "%u.%u.%u.%u" from the high and low words of the most and then the least significant half.
void FormatVersionText(uint32_t dwMostSignificant, uint32_t dwLeastSignificant, char* out, std::size_t outSize);

// directory, a backslash unless it ends in one, and the file name (cut at 258 characters).
// False, with out empty, when the path does not fit: a cut path could name another file.
bool JoinSystemPath(const char* directory, const char* fileName, char* out, std::size_t outSize);

}  // namespace linvoq
