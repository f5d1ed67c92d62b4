// The one loop that hands bytes to the operating system for the output
// module: it goes on after an interruption and waits while a descriptor in
// non-blocking mode is full, so that a caller sees only real failures.
#pragma once

#include <cstddef>

namespace tavrel::output {

// Writes all `length` bytes to `fd`, again after an interruption (EINTR),
// and waiting while a descriptor in non-blocking mode is full (EAGAIN).
// Blocks while a blocking descriptor is full. Returns false when a write
// fails (errno tells why); some of the bytes may have been written then.
bool writeFully(int fd, const char* data, std::size_t length);

}  // namespace tavrel::output
