// The miner's output as tavrel-show reads it: no line may be longer than
// kMaxOutputLine bytes, so that an input that is not the miner's output
// (`tavrel-show /dev/zero`, one endless line) ends with a message instead
// of filling the memory. A thread reads the input and passes it on
// through a socket to the output's line reader, stopping at the first
// line that is too long.
#pragma once

#include <cstddef>
#include <string>
#include <thread>

#include "base/line_input.h"

namespace tavrel::tools {

// The longest line read: far more than the edge line of any pattern a
// real run writes.
constexpr std::size_t kMaxOutputLine = std::size_t{64} << 20;

class CappedInput {
 public:
  CappedInput() = default;
  ~CappedInput();
  CappedInput(const CappedInput&) = delete;
  CappedInput& operator=(const CappedInput&) = delete;

  // Opens `path` ("-" is standard input) and sets `reader` to read it
  // through the cap. Fails with a message.
  Result open(const std::string& path, LineInput* reader);

  // Once the reader is closed: waits for the thread and returns what
  // stopped it early, "<name>:<line>: a line longer than ..." or a failed
  // read; empty when the input was passed on whole (or the reader stopped
  // first).
  std::string finish();

 private:
  void pass();

  LineInput source_;
  std::string name_;
  int sink_ = -1;
  std::thread thread_;
  std::string fault_;
};

}  // namespace tavrel::tools
