#include "SystemMessage.h"

namespace toolfunc_detail {

DWORD SystemMessage(DWORD dwError, char* text, DWORD size) {
    if (!text || size == 0) return 0;
    text[0] = '\0';
    if (dwError == 0) return 0;
    DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError,
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, size - 1, NULL);
    if (len >= size) len = size - 1;
    text[len] = '\0';
    return len;
}

}  // namespace toolfunc_detail
