// The one writer of the program's standard output. A line is assembled with
// the put functions and written out by endLine(), which adds the newline and
// hands the bytes to the operating system at once, so that every line is
// flushed as soon as it is complete. A write that fails (closed descriptor,
// full disk, broken pipe with SIGPIPE ignored) is remembered; later output is
// dropped and the run must end with an error (see outputFailed()).
#pragma once

#include <cstddef>
#include <string_view>

namespace tavrel {

// Appends to the pending line.
void putText(std::string_view text);
void putChar(char c);
void putInt(long long value);

// Appends a double the way a default-formatted stream writes it: general
// notation with at most six significant digits and no trailing zeros.
void putDefaultDouble(double value);

// Appends '\n' and writes the pending line. Returns 0, or -1 when the
// output has failed (now or earlier).
int endLine();

// Writes the pending bytes without adding a line end (used to echo a line
// that carries its own line end). Returns 0 or -1 like endLine().
int flushOutput();

// True when some write of this run has failed.
bool outputFailed();

// Sends the output to another descriptor (tests, the fuzzer) and forgets an
// earlier failure; the default is standard output (descriptor 1). A
// negative descriptor drops every line unwritten, so that the benchmarks
// can time the work without the writes.
void setOutputDescriptor(int fd);

// Writes all `length` bytes to `fd`, again after an interruption, and
// waiting while a descriptor in non-blocking mode is full. Returns false
// when a write fails (errno tells why). The companion programs write
// through it too.
bool writeFully(int fd, const char* data, std::size_t length);

// Writes "Error: cannot write output" to standard error. Called by the driver
// when outputFailed() is true at the end of a run.
void reportOutputFailure();

}  // namespace tavrel
