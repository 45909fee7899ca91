#include "VarLayout.h"

#include <cstring>

namespace tapisim {

namespace {
void Store(void* field, uint32_t value) { std::memcpy(field, &value, sizeof value); }
bool InRange(const void* field, const char* begin, std::size_t size) {
    const char* p = static_cast<const char*>(field);
    return p >= begin && p + 4 <= begin + size;
}
uint32_t Load(const void* field) {
    uint32_t value;
    std::memcpy(&value, field, sizeof value);
    return value;
}
}  // namespace

std::size_t VarLayout::AddPart(void* sizeField, void* offsetField, std::string bytes) {
    Part part{sizeField, offsetField, 0, std::move(bytes)};
    if (!part.bytes.empty()) {
        part.offset = (m_end + 3u) & ~3u;
        m_end = part.offset + static_cast<uint32_t>(part.bytes.size());
    }
    Store(sizeField, static_cast<uint32_t>(part.bytes.size()));
    Store(offsetField, part.offset);
    m_parts.push_back(std::move(part));
    return m_parts.size() - 1;
}

void VarLayout::SetBytes(std::size_t part, const void* bytes, std::size_t size) {
    std::string& target = m_parts[part].bytes;
    target.assign(static_cast<const char*>(bytes), size < target.size() ? size : target.size());
}

void VarLayout::Write(void* dest, void* fixed, std::size_t fixedSize) {
    uint32_t total = Load(dest);
    char* header = static_cast<char*>(fixed);
    Store(header, total);
    Store(header + 4, m_end);
    bool fits = total >= m_end;
    if (!fits) {
        // Only fields of the fixed part: records inside a part are not written at all (and
        // may be gone by now).
        for (Part& part : m_parts) {
            if (InRange(part.sizeField, header, fixedSize)) Store(part.sizeField, 0);
            if (InRange(part.offsetField, header, fixedSize)) Store(part.offsetField, 0);
        }
    }
    Store(header + 8, fits ? m_end : static_cast<uint32_t>(fixedSize));
    char* out = static_cast<char*>(dest);
    std::memcpy(out, fixed, fixedSize);
    if (!fits) return;
    std::memset(out + fixedSize, 0, m_end - fixedSize);  // padding between parts reads as zero
    for (const Part& part : m_parts)
        if (!part.bytes.empty()) std::memcpy(out + part.offset, part.bytes.data(), part.bytes.size());
}

}  // namespace tapisim
