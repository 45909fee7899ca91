#include "LineGatherer.h"

#include <cstring>

namespace vessnet {

Gathered GatherByte(char* line, std::uint32_t& length, char c)
{
    if (IsLineEnd(c))
        return length == 0 ? Gathered::Ignored : Gathered::Complete;
    // A length beyond the buffer can only come from a corrupted slot; never write past it.
    if (length >= kLineSize) {
        ClearLine(line, length);
        return Gathered::Discarded;
    }
    line[length++] = c;
    if (length >= kLineSize) {
        // No room left for the terminator: an over-long line is dropped whole.
        ClearLine(line, length);
        return Gathered::Discarded;
    }
    return Gathered::Stored;
}

void ClearLine(char* line, std::uint32_t& length)
{
    std::memset(line, 0, kLineSize);
    length = 0;
}

}  // namespace vessnet
