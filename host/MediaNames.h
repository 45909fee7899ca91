// What a client may name for PlayFile and RecordFile: a bare file name inside the service's
// media folder, never a path of its own choosing. Standard C++ only.
#pragma once

#include <cstdint>
#include <string>

namespace zarn {

enum : std::size_t { kMaxMediaNameLength = 64 };
enum : std::uint32_t { kMaxRecordBytes = 16u * 1024u * 1024u };

// 1 to 64 of letters, digits, "_", "-" and ".", beginning with a letter or digit, ending in
// ".wav" (any case), without "..", and not a device name such as CON or COM1. So no drive
// letter, no separator, no UNC name and no way out of the folder.
bool IsSafeMediaName(const std::string& name);

// The folder, a backslash unless it ends in one, and the name.
std::string MediaPath(const std::string& folder, const std::string& name);

// Decimal 1 to kMaxRecordBytes, digits only.
bool ParseRecordBytes(const std::string& text, std::uint32_t* bytes);

}  // namespace zarn
