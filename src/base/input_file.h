// The miner's own input files (the spec file and the string database),
// read line by line through the one line reader (base/line_input.h) with
// the miner's messages: whatever fails to open or read is reported as
// "Error: cannot open file <name> with mode <mode>", a lack of memory as
// "Error: out of memory".
#pragma once

#include <string>

#include "base/line_input.h"
#include "base/report.h"

namespace tavrel {

class InputFile {
 public:
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
  void reportCannotOpen(Report& report) const;

  LineInput lines_;
  std::string name_;
  const char* mode_ = "r";
};

}  // namespace tavrel
