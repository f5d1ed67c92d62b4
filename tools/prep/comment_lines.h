// Comment lines of the input formats: lines that start with a prefix the
// user chose (--comment), which the readers skip as if they were not there.
#pragma once

#include <string_view>

namespace tavrel::tools {

// True when `comment` is not empty and `line` starts with it.
inline bool isCommentLine(std::string_view line, std::string_view comment) {
  return !comment.empty() && line.substr(0, comment.size()) == comment;
}

}  // namespace tavrel::tools
