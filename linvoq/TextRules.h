// Text rules of the library that need no Windows call: number filters and address derivation.
#pragma once

#include <cstddef>

namespace linvoq {

// Removes, in place, every character that does not occur in `allowed`.
void KeepOnlyChars(char* text, const char* allowed);
// Removes, in place, every character that is not a decimal digit.
void KeepDigits(char* text);
// Call-party numbers keep only "+()0123456789".
void FilterPartyNumber(char* text);
// "+0301234" becomes "0301234": a leading plus before a zero is no international prefix.
void DropPlusBeforeZero(char* text);

// Derives an address from a line name ("Phone 12 ext 3456" gives "3456"). The name's non-digits
// are blanked in place; the result (at most 31 characters) goes to `out` of `outSize` bytes and
// stays empty when no word of at least two digits is found.
void PlausibleAddressFromName(char* name, char* out, std::size_t outSize);

// Copies at most maxChars characters of src into dst (dstSize bytes) and terminates it.
void CopyText(char* dst, std::size_t dstSize, const char* src, std::size_t maxChars);

}  // namespace linvoq
