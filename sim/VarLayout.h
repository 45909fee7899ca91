// Lays out a TAPI structure of variable size: a fixed part that starts with dwTotalSize,
// dwNeededSize and dwUsedSize, followed by variable parts located by size and offset fields.
//
// The caller fills a local copy of the fixed part and adds the variable parts; Write then copies
// into the caller's buffer exactly what TAPI does: the fixed part always, the variable parts only
// when the whole structure fits (otherwise their size and offset fields read 0), dwNeededSize the
// full size, dwUsedSize what was written. Each variable part starts on a 4-byte boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tapisim {

class VarLayout {
public:
    explicit VarLayout(std::size_t fixedSize) : m_end(static_cast<uint32_t>(fixedSize)) {}

    // Adds a part and sets its size and offset fields now (both stay 0 for an empty part).
    // The fields are 32-bit members of the caller's fixed part, or of a record inside an earlier
    // part (an array whose records locate texts); Write only touches the former.
    template <class Field>
    std::size_t Add(Field& sizeField, Field& offsetField, std::string bytes) {
        static_assert(sizeof(Field) == 4, "TAPI size and offset fields are 32-bit");
        return AddPart(&sizeField, &offsetField, std::move(bytes));
    }
    // Replaces the bytes of a part by as many new ones (for arrays whose records locate later parts).
    void SetBytes(std::size_t part, const void* bytes, std::size_t size);

    uint32_t NeededSize() const { return m_end; }
    // dest: the caller's structure, its dwTotalSize already set. fixed: the filled fixed part.
    void Write(void* dest, void* fixed, std::size_t fixedSize);

private:
    struct Part {
        void* sizeField;
        void* offsetField;
        uint32_t offset;
        std::string bytes;
    };
    std::size_t AddPart(void* sizeField, void* offsetField, std::string bytes);

    uint32_t m_end;
    std::vector<Part> m_parts;
};

}  // namespace tapisim
