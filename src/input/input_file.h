// Every input file of the miner (the spec file and the string database in
// each of its three passes) is opened and read line by line through here,
// so that all readers see exactly the same lines: a line runs up to and
// including its '\n', or to the end of the file, and is returned whole
// whatever its length.
#pragma once

#include <cstddef>
#include <string>

namespace tavrel {

struct InputFile {
  int fd = -1;
  std::string name;
  std::string mode;
  char* buffer = nullptr;
  std::size_t capacity = 0;
  std::size_t lineStart = 0;  // first byte not yet handed out
  std::size_t dataEnd = 0;    // end of the bytes read so far
  bool atEnd = false;         // the file has no more bytes
};

// One line as read: its bytes, including its line end if it has one. The
// bytes stay valid until the next readLine() on the same file.
struct LineView {
  const char* text = nullptr;
  std::size_t length = 0;
};

// Opens `fileName` for reading. When it cannot be opened, or is not a file
// that can be read (a directory, say; with `reread`, which promises to open
// the file again and expect the same lines, also a pipe), writes "Error:
// cannot open file <name> with mode <mode>" and returns nullptr. The caller
// owns the result.
InputFile* openInputFile(const std::string& fileName, const char* mode, bool reread = false);

// Reads the next line into `line`. Returns 1 for a line, 0 at the end of the
// file, and -1 after a read error, which has been reported like a file that
// cannot be opened, or after running out of memory (reported as well).
int readLine(InputFile* file, LineView* line);

// Closes the file and frees its record; nullptr is allowed.
void closeInputFile(InputFile* file);

}  // namespace tavrel
