// Cutting a connection's byte stream into command lines. Standard library only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vessnet {

constexpr std::size_t kLineSize = 2048;  // a line holds at most kLineSize - 1 characters

// An over-long line is skipped up to and including its line end, so that no tail of it is
// ever taken for a command of its own.
struct LineSkip {
    bool active = false;      // inside an over-long line
    std::uint32_t bytes = 0;  // its characters so far (saturates); valid on Gathered::Dropped
};

enum class Gathered {
    Stored,    // the byte was added to the line
    Complete,  // a line end after at least one character: the line is ready to dispatch
    Ignored,   // a line end with nothing gathered (empty line, second half of CR LF)
    Skipped,   // a byte of an over-long line: nothing kept
    Dropped    // the line end of an over-long line: the whole line is gone, skip.bytes long
};

inline bool IsLineEnd(char c) { return c == '\0' || c == '\n' || c == '\r'; }

// Adds one received byte to a line of kLineSize characters. On Complete the line is left
// as it is for the caller to dispatch, who then calls ClearLine.
Gathered GatherByte(char* line, std::uint32_t& length, LineSkip& skip, char c);

void ClearLine(char* line, std::uint32_t& length);

}  // namespace vessnet
