// Every input file of the miner (the spec file and the string database) is
// opened and read line by line through here, so that all readers see
// exactly the same lines: a line runs up to and including its '\n', or to
// the end of the file, and is returned whole whatever its length.
#pragma once

#include <cstddef>
#include <string>

#include "base/buffer.h"
#include "base/report.h"

namespace tavrel {

// One line as read: its bytes, including its line end if it has one. The
// bytes stay valid until the next readLine() on the same file.
struct LineView {
  const char* text = nullptr;
  std::size_t length = 0;
};

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens `fileName` for reading. When it cannot be opened, or is not a file
  // that can be read (a directory, say; with `reread`, which promises to
  // read the file again and expect the same lines, also a pipe), reports
  // "Error: cannot open file <name> with mode <mode>" and returns false.
  bool open(const std::string& fileName, const char* mode, bool reread, Report& report);

  // Reads the next line into `line`. Returns 1 for a line, 0 at the end of
  // the file, and -1 after a read error, which is reported like a file that
  // cannot be opened, or after running out of memory (reported as well).
  int readLine(LineView* line, Report& report);

 private:
  int fill(Report& report);
  void reportCannotOpen(Report& report) const;

  int fd_ = -1;
  std::string name_;
  const char* mode_ = "r";
  Buffer<char> buffer_;
  std::size_t lineStart_ = 0;  // first byte not yet handed out
  std::size_t dataEnd_ = 0;    // end of the bytes read so far
  bool atEnd_ = false;         // the file has no more bytes
};

}  // namespace tavrel
