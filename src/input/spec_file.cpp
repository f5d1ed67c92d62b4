#include "input/spec_file.h"

#include <cstring>
#include <new>

#include "input/decimal.h"
#include "input/input_file.h"

namespace tavrel {

namespace {

// Reads the next line of the spec file. Returns 1 with the line, 0 when the
// file has ended (after reporting `missingMessage`), -1 on a read error.
int readSpecLine(InputFile& file, LineView* line, const char* missingMessage, Report& report) {
  int status = file.readLine(line, report);
  if (status == 0) {
    report.line(missingMessage);
    *line = LineView{};
  }
  return status;
}

// The value of a number line, or 0 when the line is missing.
long long lineValue(const LineView& line) {
  return line.text == nullptr ? 0 : convertDecimal(line.text, line.length, 0).value;
}

bool isValidSize(long long value) { return value > 0 && fitsInInt(value); }

// The database name from line 1: without its line end and a CR before it,
// and up to a NUL byte, which ends the name as it would for the file system.
int takeDatabaseName(RunState& run, const LineView& line) {
  std::size_t length = line.length;
  if (length > 0 && line.text[length - 1] == '\n') {
    --length;
    if (length > 0 && line.text[length - 1] == '\r') --length;
  }
  const void* nul = std::memchr(line.text, '\0', length);
  if (nul != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(nul) - line.text);
  try {
    run.stringDbFilename.assign(line.text, length);
  } catch (const std::bad_alloc&) {
    return run.report.outOfMemory();
  }
  return 0;
}

}  // namespace

int readSpecFile(RunState& run, const char* path) {
  Report& report = run.report;
  InputFile file;
  if (!file.open(path, "r", false, report)) return -1;
  bool error = false;

  LineView line;
  int status = readSpecLine(file, &line, "Error: string db filename in spec file", report);
  if (status < 0) return -1;
  if (status == 0) error = true;
  run.stringDbFilename.clear();
  if (status > 0 && takeDatabaseName(run, line) < 0) return -1;

  static const char* const kMissing[3] = {
      "Error: can't get the number of total items",
      "Error: can't get the number of max item length",
      "Error: can't get the number of all strings",
  };
  long long values[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    status = readSpecLine(file, &line, kMissing[k], report);
    if (status < 0) return -1;
    if (status == 0) error = true;
    values[k] = lineValue(line);
  }

  if (!isValidSize(values[0]) || !isValidSize(values[1]) || !isValidSize(values[2])) {
    report.line("Error: wrong parameters given in spec file");
    error = true;
  }
  if (error) return -1;
  run.totalItems = static_cast<int>(values[0]);
  run.maxItemLength = static_cast<int>(values[1]);
  run.stringCount = static_cast<int>(values[2]);
  return 0;
}

}  // namespace tavrel
