// The journal of TAPI calls: one fixed-size text line per call, kept in memory for tests.
// Standard C++ only, so it can be built and tested natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tapisim {

constexpr std::size_t kJournalLineSize = 256;  // longer lines are cut

// Builds one line: name(arg, arg, ...) = result
class JournalLine {
public:
    explicit JournalLine(const char* function);

    JournalLine& Dec(uint32_t value);                 // handles, ids, sizes, counts
    JournalLine& Hex(uint32_t value);                 // versions, flags, masks: 0x%08X
    JournalLine& Text(const char* text);              // "text", or null
    JournalLine& Size(const void* structure);         // size=<dwTotalSize>, or null
    JournalLine& Raw(const char* text);               // as it stands
    JournalLine& NamedHex(const char* key, const void* value);  // key=0x%08X of a 32-bit value, or key=null
    // Ends the line with " = result": decimal for 0 and request ids, 0x%08X for errors.
    JournalLine& Result(int32_t result);

    const char* Function() const { return m_function; }
    const char* Str() const { return m_text; }
    std::size_t Length() const { return m_length; }

private:
    void Append(const char* format, ...);
    void Separate();

    const char* m_function;
    char m_text[kJournalLineSize];
    std::size_t m_length = 0;
    bool m_firstArg = true;
};

// Thread-safe store of journal lines.
class Journal {
public:
    void Add(const JournalLine& line);
    int Count() const;
    // Copies line `index` into buf (cut to size-1, terminated); its full length, -1 when out of range.
    int Get(int index, char* buf, int size) const;
    void Clear();

private:
    struct Entry {
        char text[kJournalLineSize];
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_lines;
};

}  // namespace tapisim
