// Cutting a connection's byte stream into command lines. Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vessnet {

constexpr std::size_t kLineSize = 2048;  // a line holds at most kLineSize - 1 characters

enum class Gathered {
    Stored,    // the byte was added to the line
    Complete,  // a line end after at least one character: the line is ready to dispatch
    Ignored,   // a line end with nothing gathered (empty line, second half of CR LF)
    Discarded  // the line reached kLineSize characters without an end and was dropped
};

inline bool IsLineEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

// Adds one received byte to a line of kLineSize characters. On Complete the line is left
// as it is for the caller to dispatch, who then calls ClearLine.
Gathered GatherByte(char* line, std::uint32_t& length, char c);

void ClearLine(char* line, std::uint32_t& length);

}  // namespace vessnet
