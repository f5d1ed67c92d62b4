// Line-by-line input of a file or of standard input in constant memory
// (apart from the longest line), for outputs too large to hold: the input
// of the miner's output reader. Lines end at '\n'; one '\r' before it is
// not part of the line. The last line may lack its '\n': the reader says
// so, since that is how a file that was cut off mid-write ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrel::formats {

struct LineReader {
  int fd = -1;          // -1: the text is all in `buffer` already
  bool ownsFd = false;  // close fd when done
  std::string buffer;   // bytes read and not yet handed out start at `start`
  std::size_t start = 0;
  bool endOfInput = false;
  long lineNumber = 0;  // of the line last handed out, from 1
};

// Opens `path` ("-" is standard input) for reading. Returns 0, or -1 with
// "cannot open/read <path>: <reason>" in `error` (a folder cannot be read).
int openLineReader(const std::string& path, LineReader* reader, std::string* error);

// A reader over `text` in memory.
LineReader lineReaderOverText(std::string text);

// Closes the file, unless it is standard input or there is none.
void closeLineReader(LineReader* reader);

// Hands out the next line without its line end; it stays valid until the
// next call. `terminated` tells whether the line ended with '\n'. Returns
// 1 with a line, 0 at the end of the input, and -1 with a message naming
// `name` in `error` when reading fails.
int readLine(LineReader* reader, const std::string& name, std::string_view* line, bool* terminated,
             std::string* error);

}  // namespace tavrel::formats
