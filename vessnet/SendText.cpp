#include "SendText.h"

#include <cstdio>
#include <cstring>

namespace vessnet {

std::size_t FormatSendText(char* buffer, const char* format, std::va_list args) {
    std::memset(buffer, 0, kSendBufferSize);
    std::vsnprintf(buffer, kSendBufferSize, format, args);
    return AppendLineEnd(buffer, kSendBufferSize - 1);
}

std::size_t AppendLineEnd(char* buffer, std::size_t limit) {
    static const char kLineEnd[] = "\r\n";
    std::size_t length = std::strlen(buffer);
    for (const char* p = kLineEnd; *p != '\0' && length + 1 < limit; ++p) buffer[length++] = *p;
    buffer[length] = '\0';
    return length;
}

}  // namespace vessnet
