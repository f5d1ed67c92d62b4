// The check that an input file is text before it is read as sequences: a
// binary file (one holding a NUL byte) or a file in another encoding than
// UTF-8 would otherwise become strings of nonsense items. A few bytes that
// are not UTF-8 are let through, as stray bytes in otherwise good logs are
// common; they stay in the labels as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tavrel::tools {

// How many bytes that are not UTF-8 a text may hold and still be read.
constexpr std::size_t kTolerableNonUtf8Bytes = 8;

// The checks of checkText() on a text that comes piece by piece.
class TextCheck {
 public:
  // Checks the next bytes of the text; `last` says that no more follow.
  // Returns how many of them were checked: the first two bytes of the
  // text, and the bytes of a UTF-8 sequence cut at the end of `bytes`,
  // wait for the next call unless `last`.
  std::size_t take(std::string_view bytes, bool last);
  // True once the text is known not to pass.
  bool failed() const;
  // The message of the failure that weighs most of those found so far
  // (UTF-16, then a NUL byte, then bytes that are not UTF-8), naming
  // `fileName` and the line.
  std::string message(const std::string& fileName) const;

 private:
  bool started_ = false;
  bool utf16_ = false;
  long line_ = 1;  // the line the next byte is on
  long nulLine_ = 0;
  long badLine_ = 0;  // the line of the first byte that is not UTF-8
  std::size_t badBytes_ = 0;
};

// Succeeds when `text` (the contents of `fileName`) is text; otherwise
// fails with a message that names the line of the first offending byte and
// says what to do: for UTF-16 text, a NUL byte, or more than
// kTolerableNonUtf8Bytes bytes that are not UTF-8.
Result checkText(std::string_view text, const std::string& fileName);

}  // namespace tavrel::tools
