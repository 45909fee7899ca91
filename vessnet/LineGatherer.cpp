#include "LineGatherer.h"

#include <cstring>

namespace vessnet {

namespace {

void StartSkip(char* line, std::uint32_t& length, LineSkip& skip) {
    skip.active = true;
    skip.bytes = static_cast<std::uint32_t>(kLineSize);
    ClearLine(line, length);
}

}  // namespace

Gathered GatherByte(char* line, std::uint32_t& length, LineSkip& skip, char c) {
    if (IsLineEnd(c)) {
        if (skip.active) {
            skip.active = false;
            return Gathered::Dropped;
        }
        return length == 0 ? Gathered::Ignored : Gathered::Complete;
    }
    if (skip.active) {
        if (skip.bytes != UINT32_MAX) ++skip.bytes;
        return Gathered::Skipped;
    }
    // A length beyond the buffer can only come from a corrupted slot; never write past it.
    if (length >= kLineSize - 1) {
        StartSkip(line, length, skip);
        return Gathered::Skipped;
    }
    line[length++] = c;
    return Gathered::Stored;
}

void ClearLine(char* line, std::uint32_t& length) {
    std::memset(line, 0, kLineSize);
    length = 0;
}

}  // namespace vessnet
