#include "LogFormat.h"

#include <cstdio>
#include <cstring>

#include "PathSplit.h"
#include "TextBounds.h"

namespace toolfunc_detail {

static size_t Stored(int written, size_t capacity) {
    if (written < 0 || capacity == 0) return 0;
    return static_cast<size_t>(written) < capacity ? static_cast<size_t>(written) : capacity - 1;
}

size_t FormatPlainStamp(const StampTime& t, char* out, size_t capacity) {
    int n = snprintf(out, capacity, "%02d.%02d.%04d %02d:%02d:%02d:%03d ", t.day, t.month, t.year, t.hour, t.minute,
                     t.second, t.millisecond);
    return Stored(n, capacity);
}

size_t FormatNumberedHeader(const StampTime& t, unsigned processId, unsigned threadId, char* out, size_t capacity) {
    int n = snprintf(out, capacity, "%02d-%02d-%04d %02d:%02d:%02d.%03d (%4d:%4d) - ", t.day, t.month, t.year, t.hour,
                     t.minute, t.second, t.millisecond, static_cast<int>(processId), static_cast<int>(threadId));
    return Stored(n, capacity);
}

size_t FormatNameSuffix(const StampTime& t, char* out, size_t capacity) {
    int n =
        snprintf(out, capacity, "_%04d_%02d_%02d_%02d_%02d_%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return Stored(n, capacity);
}

size_t InsertNameSuffix(const char* path, const char* suffix, char* out, size_t capacity) {
    PathParts parts;
    SplitPath(path, parts);
    CopyBounded(out, capacity, parts.drive);
    AppendBounded(out, capacity, parts.dir);
    AppendBounded(out, capacity, parts.base);
    AppendBounded(out, capacity, suffix);
    return AppendBounded(out, capacity, parts.ext);
}

// A field width or precision a file name can use; a wider one would have the formatter pad
// (slowly) far beyond the name's buffer and leave no digit of the index in it.
static const unsigned kMaxFieldWidth = 32;

// Skips a run of digits; false when they give a number above kMaxFieldWidth.
static bool SkipFieldWidth(const char*& p) {
    unsigned value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > kMaxFieldWidth) return false;
    }
    return true;
}

// Length of an integer conversion starting at text[0] == '%', or 0 if it is none. The conversion
// goes to `spec` without its length modifier (%ld -> %d): the index is always an unsigned int, and
// patterns written for long counters must still number their files.
static size_t IntegerConversion(const char* text, char* spec, size_t specSize) {
    const char* p = text + 1;
    while (*p && strchr("-+ 0#", *p)) ++p;
    if (!SkipFieldWidth(p)) return 0;
    if (*p == '.') {
        ++p;
        if (!SkipFieldWidth(p)) return 0;
    }
    size_t head = static_cast<size_t>(p - text);
    if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l'))
        p += 2;
    else if (*p == 'h' || *p == 'l')
        ++p;
    if (!*p || !strchr("diuxXo", *p) || head + 2 > specSize) return 0;
    memcpy(spec, text, head);
    spec[head] = *p;
    spec[head + 1] = '\0';
    return static_cast<size_t>(p - text) + 1;
}

size_t FormatRingFileName(const char* pattern, unsigned index, char* out, size_t capacity) {
    if (!out || capacity == 0) return 0;
    out[0] = '\0';
    if (!pattern) return 0;

    bool indexUsed = false;
    char piece[64];
    for (const char* p = pattern; *p;) {
        size_t take = 1;
        piece[0] = *p;
        piece[1] = '\0';
        if (*p == '%' && p[1] == '%') {
            take = 2;
        } else if (*p == '%' && !indexUsed) {
            char conversion[16];
            size_t len = IntegerConversion(p, conversion, sizeof conversion);
            if (len > 0) {
                snprintf(piece, sizeof piece, conversion, index);
                indexUsed = true;
                take = len;
            }
        }
        AppendBounded(out, capacity, piece);
        p += take;
    }
    return strlen(out);
}

RingStep RingPosition(unsigned lineCount, unsigned linesPerFile, unsigned fileCount) {
    if (linesPerFile == 0) linesPerFile = 1;
    if (fileCount == 0) fileCount = 1;
    RingStep step;
    step.startsFile = (lineCount % linesPerFile) == 0;
    step.index = (lineCount / linesPerFile) % fileCount;
    return step;
}

}  // namespace toolfunc_detail
