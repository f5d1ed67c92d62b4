// The command line's standard output: complete lines, written in blocks or
// line by line. A failed write is remembered; later output is dropped.
#pragma once

#include <cstddef>

#include "base/buffer.h"

namespace tavrel {

class OutputStream {
 public:
  // Writes to `fd` (a negative descriptor drops everything); with
  // `lineFlush`, every commit is written at once.
  OutputStream(int fd, bool lineFlush) : fd_(fd), lineFlush_(lineFlush) {}
  ~OutputStream() { flush(); }
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  // Room for `most` bytes at the end of what is pending (nullptr when
  // memory ran out); commit() appends the `used` bytes written there, which
  // end with a complete line.
  char* reserve(std::size_t most);
  void commit(std::size_t used);
  // Appends complete lines.
  void write(const char* data, std::size_t length);
  // Writes out everything pending. False when the output has failed.
  bool flush();
  bool failed() const { return failed_; }

 private:
  int fd_;
  bool lineFlush_;
  bool failed_ = false;
  Buffer<char> pending_;
};

}  // namespace tavrel
