#include "CommandRecord.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace linvoq {

CReplyStack g_ReplyStack;

char* FindRecordField(const char* record, const char* key, char* out, std::size_t outSize, std::size_t maxChars) {
    if (!out || outSize == 0) return out;
    out[0] = '\0';
    if (!record || !key) return out;
    char search[31];
    std::snprintf(search, sizeof search, "{%s:", key);
    const char* at = std::strstr(record, search);
    if (!at) return out;
    const char* value = at + std::strlen(search);
    const char* end = std::strchr(value, '}');
    if (!end) end = value + std::strlen(value);  // an unclosed last field runs to the end
    std::size_t len = static_cast<std::size_t>(end - value);
    if (len > maxChars) len = maxChars;
    if (len > outSize - 1) len = outSize - 1;
    std::memcpy(out, value, len);
    out[len] = '\0';
    return out;
}

CReplyStack::CReplyStack() { std::memset(m_Slots, 0, sizeof m_Slots); }

CReplyStack::~CReplyStack() {}

void CReplyStack::Store(std::uint32_t requestId, const char* format, ...) {
    char text[MAX_TEXT + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard<std::mutex> guard(m_Lock);
    Slot& slot = m_Slots[requestId & 0x7F];
    slot.id = requestId;
    std::memcpy(slot.text, text, sizeof text);
}

void CReplyStack::Lookup(std::uint32_t requestId, char* out, std::size_t outSize) {
    if (!out || outSize == 0) return;
    std::lock_guard<std::mutex> guard(m_Lock);
    const Slot& slot = m_Slots[requestId & 0x7F];
    if (slot.id != requestId) {
        out[0] = '\0';
        return;
    }
    std::snprintf(out, outSize, "%s", slot.text);
}

void CReplyStack::Clear(std::uint32_t requestId) {
    std::lock_guard<std::mutex> guard(m_Lock);
    std::memset(&m_Slots[requestId & 0x7F], 0, sizeof(Slot));
}

}  // namespace linvoq
