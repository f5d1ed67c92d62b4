#include "base/input_file.h"

#include <new>

namespace tavrel {

void InputFile::reportCannotOpen(Report& report) const {
  report.raw("Error: cannot open file ");
  report.raw(name_);
  report.raw(" with mode ");
  report.line(mode_);
}

bool InputFile::open(const std::string& fileName, const char* mode, bool reread, Report& report) {
  try {
    name_ = fileName;
  } catch (const std::bad_alloc&) {
    report.outOfMemory();
    return false;
  }
  mode_ = mode;
  if (!lines_.openQuietly(fileName, reread)) {
    reportCannotOpen(report);
    return false;
  }
  return true;
}

int InputFile::readLine(LineView* line, Report& report) {
  int status;
  try {
    status = lines_.readLine(line);
  } catch (const std::bad_alloc&) {  // the message of a failed read
    return report.outOfMemory();
  }
  if (status < 0) {
    if (lines_.failure().isOutOfMemory()) return report.outOfMemory();
    reportCannotOpen(report);
  }
  return status;
}

}  // namespace tavrel
