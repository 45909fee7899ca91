// Texts going out to clients. Standard library only.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace vessnet {

constexpr std::size_t kSendBufferSize = 2048;

// Zeroes the buffer (kSendBufferSize characters), formats into it (at most 2047 characters,
// longer output is cut) and appends CR LF as far as the text stays within 2046 characters:
// up to 2044 characters get CR LF, 2045 only CR, 2046 or 2047 nothing. Returns the length.
std::size_t FormatSendText(char* buffer, const char* format, std::va_list args);

// CR LF appended within a total of limit - 1 characters. Returns the new length.
std::size_t AppendLineEnd(char* buffer, std::size_t limit);

}  // namespace vessnet
