// Text formats of the log files: time stamps, time-stamped names and the numbered ring.
// Pure text logic: the caller supplies the clock reading.
#pragma once

#include <cstddef>

namespace toolfunc_detail {

struct StampTime {
    int year, month, day, hour, minute, second, millisecond;
};

// "dd.mm.yyyy hh:mm:ss:mmm " heading a plain log line.
size_t FormatPlainStamp(const StampTime& t, char* out, size_t capacity);

// "dd-mm-yyyy hh:mm:ss.mmm (pid:tid) - " heading a numbered log line, ids in width 4.
size_t FormatNumberedHeader(const StampTime& t, unsigned processId, unsigned threadId, char* out, size_t capacity);

// "_yyyy_mm_dd_hh_mm_ss", inserted before a log name's extension.
size_t FormatNameSuffix(const StampTime& t, char* out, size_t capacity);

// path with `suffix` inserted between base name and extension (app.log -> app<suffix>.log).
size_t InsertNameSuffix(const char* path, const char* suffix, char* out, size_t capacity);

// The ring file name: `pattern` with its first integer conversion (%d, %03u, %x ...) replaced
// by `index` and %% by %. Any other conversion is copied literally, so a pattern can never
// make the formatter read arguments that are not there; so is an integer conversion with a width
// or precision above 32. A length modifier (%ld, %hu) is accepted and formats the same.
size_t FormatRingFileName(const char* pattern, unsigned index, char* out, size_t capacity);

// Where line number `lineCount` (0-based) of a numbered log goes.
struct RingStep {
    bool startsFile;  // the line opens (and empties) its file
    unsigned index;   // number of the file in the ring
};
// Zero lines per file or zero files count as one: the ring never divides by zero.
RingStep RingPosition(unsigned lineCount, unsigned linesPerFile, unsigned fileCount);

}  // namespace toolfunc_detail
