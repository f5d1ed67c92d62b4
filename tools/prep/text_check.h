// The check that an input file is text before it is read as sequences: a
// binary file (one holding a NUL byte) or a file in another encoding than
// UTF-8 would otherwise become strings of nonsense items. A few bytes that
// are not UTF-8 are let through, as stray bytes in otherwise good logs are
// common; they stay in the labels as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrel::tools {

// How many bytes that are not UTF-8 a text may hold and still be read.
constexpr std::size_t kTolerableNonUtf8Bytes = 8;

// Returns 0 when `text` (the contents of `fileName`) is text, or -1 with a
// message in `error` that names the line of the first offending byte and
// says what to do: for UTF-16 text, a NUL byte, or more than
// kTolerableNonUtf8Bytes bytes that are not UTF-8.
int checkText(std::string_view text, const std::string& fileName, std::string* error);

}  // namespace tavrel::tools
