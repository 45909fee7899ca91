// Line-end rule shared by the debug output and the log files. Pure text logic.
#pragma once

#include <cstddef>

namespace toolfunc_detail {

// A text longer than one character loses a final CR LF (system messages end in one); a lone
// final LF stays. Then `ending` is appended. When the buffer of `capacity` bytes is full, the
// text is shortened so that the ending still fits: every line ends properly. Returns the length.
size_t NormalizeLineEnd(char* text, size_t capacity, const char* ending);

}  // namespace toolfunc_detail
