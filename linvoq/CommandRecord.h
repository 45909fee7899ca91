// Command records: "{Key:Value}" fields filed under a TAPI request id until its LINE_REPLY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace linvoq {

// Copies the value of field `key` of `record` (the text after "{key:" up to the next "}") into
// out, at most maxChars characters; empty when the field is missing. Returns out.
char* FindRecordField(const char* record, const char* key, char* out, std::size_t outSize, std::size_t maxChars);

// Pending records, one slot per request id modulo 128; a later id on the same slot replaces
// the earlier record. Used from the TAPI callback thread and from command chain threads.
class CReplyStack {
public:
    enum { SLOTS = 128, MAX_TEXT = 255 };

    CReplyStack();
    virtual ~CReplyStack();

    void Store(std::uint32_t requestId, const char* format, ...);
    // Copies the record of requestId into out (empty when the slot holds another id).
    void Lookup(std::uint32_t requestId, char* out, std::size_t outSize);
    void Clear(std::uint32_t requestId);

private:
    struct Slot {
        std::uint32_t id;
        char text[MAX_TEXT + 1];
    };
    Slot m_Slots[SLOTS];
    std::mutex m_Lock;
};

extern CReplyStack g_ReplyStack;

}  // namespace linvoq
