// Reading and writing at an offset of a descriptor, whole: short transfers and interrupted calls
// are carried on, so callers see only the end of the file or a real failure.
#pragma once

#include <cstdint>

namespace ninetrace {

// Reads up to `count` bytes at `offset`; returns the bytes read, fewer only at the end of the
// file, or -1 with errno set when reading fails.
std::int64_t ReadAt(int fd, std::uint8_t* bytes, std::int64_t count, std::int64_t offset);

// Writes all `count` bytes at `offset`; false with errno set when it cannot (ENOSPC when the file
// takes no more and says no error, as a full disk does).
bool WriteAllAt(int fd, const std::uint8_t* bytes, std::int64_t count, std::int64_t offset);

// Whether the byte at `offset` can be read without waiting for the disk (false also when the
// system cannot tell).
bool InMemoryAt(int fd, std::int64_t offset);

}  // namespace ninetrace
