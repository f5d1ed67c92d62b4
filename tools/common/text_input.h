// Whole-file input for the companion programs, and the line splitter they
// read it with. Lines end at '\n'; one '\r' before it (or at the end of the
// last line) is not part of the line, so files written on Windows read the
// same.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrel::tools {

// Reads the whole file `path` ("-" is standard input) into `content`.
// Returns 0, or -1 with a message naming the file and the reason in `error`.
int readWholeFile(const std::string& path, std::string* content, std::string* error);

struct LineCursor {
  std::string_view text;
  std::size_t position = 0;
  long lineNumber = 0;  // number of the line last returned, from 1
};

// Hands out the next line without its line end. Returns false at the end
// of the text; a final line without '\n' is still returned.
bool nextLine(LineCursor* cursor, std::string_view* line);

}  // namespace tavrel::tools
