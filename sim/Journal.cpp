#include "Journal.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tapisim {

JournalLine::JournalLine(const char* function) : m_function(function) {
    m_text[0] = '\0';
    Append("%s(", function);
}

void JournalLine::Append(const char* format, ...) {
    if (m_length >= kJournalLineSize - 1) return;
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(m_text + m_length, kJournalLineSize - m_length, format, args);
    va_end(args);
    if (n < 0) return;
    m_length += static_cast<std::size_t>(n);
    if (m_length > kJournalLineSize - 1) m_length = kJournalLineSize - 1;
}

void JournalLine::Separate() {
    if (!m_firstArg) Append(", ");
    m_firstArg = false;
}

JournalLine& JournalLine::Dec(uint32_t value) {
    Separate();
    Append("%lu", static_cast<unsigned long>(value));
    return *this;
}

JournalLine& JournalLine::Hex(uint32_t value) {
    Separate();
    Append("0x%08lX", static_cast<unsigned long>(value));
    return *this;
}

JournalLine& JournalLine::Text(const char* text) {
    Separate();
    if (text)
        Append("\"%s\"", text);
    else
        Append("null");
    return *this;
}

JournalLine& JournalLine::Size(const void* structure) {
    Separate();
    if (!structure) {
        Append("null");
        return *this;
    }
    uint32_t total;
    std::memcpy(&total, structure, sizeof total);
    Append("size=%lu", static_cast<unsigned long>(total));
    return *this;
}

JournalLine& JournalLine::Raw(const char* text) {
    Separate();
    Append("%s", text);
    return *this;
}

JournalLine& JournalLine::NamedHex(const char* key, const void* value) {
    Separate();
    if (!value) {
        Append("%s=null", key);
        return *this;
    }
    uint32_t v;
    std::memcpy(&v, value, sizeof v);
    Append("%s=0x%08lX", key, static_cast<unsigned long>(v));
    return *this;
}

JournalLine& JournalLine::Result(int32_t result) {
    if (result < 0)
        Append(") = 0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(result)));
    else
        Append(") = %ld", static_cast<long>(result));
    return *this;
}

Journal::Journal(std::size_t capacity) : m_lines(capacity > 0 ? capacity : 1) {}

void Journal::Add(const JournalLine& line) {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::size_t slot;
    if (m_count < m_lines.size()) {
        slot = Slot(m_count++);
    } else {
        slot = m_first;
        m_first = (m_first + 1) % m_lines.size();
    }
    std::memcpy(m_lines[slot].text, line.Str(), line.Length() + 1);
    ++m_added;
}

int Journal::Count() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return static_cast<int>(m_count);
}

int Journal::Get(int index, char* buf, int size) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= m_count) return -1;
    const char* text = m_lines[Slot(static_cast<std::size_t>(index))].text;
    int length = static_cast<int>(std::strlen(text));
    if (buf && size > 0) {
        int n = length < size - 1 ? length : size - 1;
        std::memcpy(buf, text, static_cast<std::size_t>(n));
        buf[n] = '\0';
    }
    return length;
}

void Journal::Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_first = 0;
    m_count = 0;
    m_added = 0;
}

uint64_t Journal::Added() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_added;
}

std::size_t Journal::Capacity() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_lines.size();
}

void Journal::SetCapacity(std::size_t capacity) {
    if (capacity == 0) capacity = 1;
    std::lock_guard<std::mutex> guard(m_mutex);
    std::size_t keep = m_count < capacity ? m_count : capacity;
    std::vector<Entry> lines(capacity);
    for (std::size_t i = 0; i < keep; ++i) lines[i] = m_lines[Slot(m_count - keep + i)];
    m_lines.swap(lines);
    m_first = 0;
    m_count = keep;
}

}  // namespace tapisim
