// tavrel-prep's input, read line by line in memory bounded by the longest
// line: the file (or standard input) is read in pieces, unpacked when it
// is gzip data, and every byte is checked (packing, text, UTF-8) before a
// line holding it is handed out. An input whose bytes are at fault is
// refused with the message that weighs most, as if the whole input had
// been checked first: damaged gzip data, then an archive or another
// packing, then UTF-16, a NUL byte or too many bytes that are not UTF-8,
// then a line longer than kMaxLineBytes; a reader's own error about a
// line weighs least.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/line_input.h"
#include "prep/compressed_input.h"
#include "prep/text_check.h"

namespace tavrel::tools {

// The longest line read; a longer one is refused (no sequence file holds
// such lines, and a gzip bomb of one endless line would fill the memory).
constexpr std::size_t kMaxLineBytes = std::size_t{64} << 20;

class InputLines {
 public:
  InputLines() = default;
  // Reads `text` in memory, named `fileName` in messages.
  InputLines(std::string_view text, const std::string& fileName);
  ~InputLines();
  InputLines(const InputLines&) = delete;
  InputLines& operator=(const InputLines&) = delete;

  // Opens `path` ("-" is standard input); fails with a message.
  Result open(const std::string& path);

  // Hands out the next line without its '\n' (a '\r' before it is kept)
  // and whether a '\n' ended it; the line stays valid until the next call.
  // Returns 1 with a line, 0 at the end, and -1 when the input's bytes are
  // at fault (failure() says how).
  int next(std::string_view* line, bool* terminated);
  const Result& failure() const { return failure_; }

  // The number of the line last handed out, from 1.
  long lineNumber() const { return lineNumber_; }

  // After a reader's own failure `own`: reads the rest of the input and
  // returns the input's fault when it has one, which weighs more, else `own`.
  Result settle(Result own);

 private:
  int fill();
  bool faulty() const;
  std::string fault() const;

  std::string name_;
  LineInput file_;
  std::unique_ptr<UnpackedInput> input_;
  std::string text_;  // unpacked bytes; [start_, checked_) are checked and not handed out
  std::size_t start_ = 0;
  std::size_t checked_ = 0;
  std::size_t searched_ = 0;  // no '\n' in [start_, searched_)
  bool end_ = false;
  bool prefixDone_ = false;
  std::string unpackError_;
  std::string packing_;
  std::string longLine_;
  TextCheck check_;
  long lineNumber_ = 0;
  Result failure_;
};

// `line` without one '\r' at its end.
inline std::string_view withoutCr(std::string_view line) {
  return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

}  // namespace tavrel::tools
