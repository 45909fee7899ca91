// Bounded copies into fixed-size text buffers: the result is always terminated and never
// longer than the buffer allows. Pure text logic, no platform calls.
#pragma once

#include <cstddef>

namespace toolfunc_detail {

// Copies src (null counts as empty) into dst of `capacity` bytes; returns the length stored.
size_t CopyBounded(char* dst, size_t capacity, const char* src);

// Appends src to the text in dst of `capacity` bytes; returns the new length.
size_t AppendBounded(char* dst, size_t capacity, const char* src);

// Case-insensitive (ASCII) comparison of two texts; null counts as empty.
bool SameTextNoCase(const char* a, const char* b);

}  // namespace toolfunc_detail
