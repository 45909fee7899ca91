// The journal of TAPI calls: one fixed-size text line per call, kept in memory for tests. Only the
// newest lines are kept (a ring), so a service that runs for days keeps flat memory.
// Standard C++ only, so it can be built and tested natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tapisim {

constexpr std::size_t kJournalLineSize = 256;       // longer lines are cut
constexpr std::size_t kJournalDefaultLines = 4096;  // 1 MB, taken when the journal is made

// Builds one line: name(arg, arg, ...) = result
class JournalLine {
public:
    explicit JournalLine(const char* function);

    JournalLine& Dec(uint32_t value);                           // handles, ids, sizes, counts
    JournalLine& Hex(uint32_t value);                           // versions, flags, masks: 0x%08X
    JournalLine& Text(const char* text);                        // "text", or null
    JournalLine& Size(const void* structure);                   // size=<dwTotalSize>, or null
    JournalLine& Raw(const char* text);                         // as it stands
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

// Thread-safe store of the newest journal lines; when full, a new line replaces the oldest.
class Journal {
public:
    explicit Journal(std::size_t capacity = kJournalDefaultLines);

    void Add(const JournalLine& line);
    // Lines held, at most Capacity(); index 0 is the oldest of them.
    int Count() const;
    // Copies line `index` into buf (cut to size-1, terminated); its full length, -1 when out of range.
    int Get(int index, char* buf, int size) const;
    void Clear();
    // Lines added since the last Clear, including those the ring has dropped.
    uint64_t Added() const;

    std::size_t Capacity() const;
    // Sets the number of lines kept (at least 1) and keeps the newest of those held.
    void SetCapacity(std::size_t capacity);

private:
    struct Entry {
        char text[kJournalLineSize];
    };
    std::size_t Slot(std::size_t index) const { return (m_first + index) % m_lines.size(); }

    mutable std::mutex m_mutex;
    std::vector<Entry> m_lines;  // all slots allocated up front, so memory does not grow with use
    std::size_t m_first = 0;     // slot of the oldest line
    std::size_t m_count = 0;
    uint64_t m_added = 0;
};

}  // namespace tapisim
