// The one line reader: every input of the miner (the spec file and the
// string database), the reader of the miner's output and the companion
// programs read their lines through here, so that all see exactly the same
// lines. A line runs up to and including its '\n', or to the end of the
// input, and is returned whole whatever its length; memory stays bounded by
// the longest line. The input is a file, standard input, a descriptor
// handed over, or text in memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/buffer.h"
#include "base/result.h"

namespace tavrel {

// One line as read: its bytes, including its line end if it has one. The
// bytes stay valid until the next read on the same input.
struct LineView {
  const char* text = nullptr;
  std::size_t length = 0;
};

class LineInput {
 public:
  LineInput() = default;
  ~LineInput() { close(); }
  LineInput(LineInput&& other) noexcept;
  LineInput& operator=(LineInput&& other) noexcept;
  LineInput(const LineInput&) = delete;
  LineInput& operator=(const LineInput&) = delete;

  // Opens the file `path` ("-" is a file of that name). A folder is
  // refused; with `reread`, which promises to read the file again and
  // expect the same lines, so is a pipe (before it is opened: opening it
  // would wait for a writer). The failure says "cannot open <path>:
  // <reason>" or "cannot read <path>: Is a directory".
  Result open(const std::string& path, bool reread);

  // Opens `path` as open() does, but says only whether it could: for the
  // miner, which names a file it cannot open in words of its own (and whose
  // file names can be as long as the memory allows).
  bool openQuietly(const std::string& path, bool reread);

  // Opens `path` as open() does without `reread`, except that "-" is
  // standard input (named "standard input" in messages, never closed here).
  Result openOrStandardInput(const std::string& path);

  // Reads the descriptor `fd`, closing it at the end when `owned`.
  void adopt(int fd, bool owned);

  // An input over a copy of `text`. When the copy cannot be had, the first
  // read fails with out of memory.
  static LineInput overText(std::string_view text);

  // Closes the descriptor when it is owned; the input then reads as ended.
  void close();

  // Hands out the next line with its line end. Returns 1 with a line, 0 at
  // the end of the input, -1 when reading failed or memory ran out: then
  // failure() says which (a failed read's message is the system's reason
  // only, for the caller to name the input).
  int readLine(LineView* line);

  // As readLine(), but the line comes without its '\n' and without one '\r'
  // before it (or at the end of a last line that lacks its '\n'), and
  // `terminated` tells whether a '\n' ended it.
  int readTrimmed(std::string_view* line, bool* terminated);

  const Result& failure() const { return failure_; }
  long lineNumber() const { return lineNumber_; }  // of the line last handed out, from 1
  int fd() const { return fd_; }                   // -1 for text in memory

 private:
  int fill();

  int fd_ = -1;
  bool ownsFd_ = false;
  Buffer<char> buffer_;
  std::size_t lineStart_ = 0;  // first byte not yet handed out
  std::size_t dataEnd_ = 0;    // end of the bytes read so far
  bool atEnd_ = true;          // the input has no more bytes (none opened yet)
  long lineNumber_ = 0;
  Result failure_;
};

}  // namespace tavrel
