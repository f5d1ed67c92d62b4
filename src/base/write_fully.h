// Writing to a file descriptor without losing bytes.
#pragma once

#include <cstddef>

namespace tavrel {

// Writes all `length` bytes to `fd`, again after an interruption, and
// waiting while a descriptor in non-blocking mode is full. Returns false
// when a write fails (errno tells why).
bool writeFully(int fd, const char* data, std::size_t length);

}  // namespace tavrel
