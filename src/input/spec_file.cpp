#include "input/spec_file.h"

#include <cstring>
#include <new>

#include "input/decimal.h"
#include "input/input_file.h"
#include "state/console.h"
#include "state/global_state.h"
#include "state/memory.h"

namespace tavrel {

namespace {

void writeMessage(const char* message) {
  putText(message);
  endLine();
}

// Reads the next line of the spec file. Returns 1 with the line, 0 when the
// file has ended (after writing `missingMessage`), -1 on a read error.
int readSpecLine(InputFile* file, LineView* line, const char* missingMessage) {
  int status = readLine(file, line);
  if (status == 0) {
    writeMessage(missingMessage);
    *line = LineView{};
  }
  return status;
}

// The value of a number line, or 0 when the line is missing.
long long lineValue(const LineView& line) {
  return line.text == nullptr ? 0 : convertDecimal(line.text, line.length, 0).value;
}

bool isValidSize(long long value) { return value > 0 && fitsInInt(value); }

}  // namespace

int readSpecFile(const char* path) {
  InputFile* file = openInputFile(path, "r");
  if (file == nullptr) return -1;
  bool error = false;

  LineView line;
  int status = readSpecLine(file, &line, "Error: string db filename in spec file");
  if (status < 0) {
    closeInputFile(file);
    return -1;
  }
  if (status == 0) error = true;
  stringDbFilename.clear();
  if (status > 0) {
    std::size_t length = line.length;
    if (length > 0 && line.text[length - 1] == '\n') {
      --length;
      if (length > 0 && line.text[length - 1] == '\r') --length;
    }
    // A NUL byte ends the name, as it would for the file system.
    const void* nul = std::memchr(line.text, '\0', length);
    if (nul != nullptr)
      length = static_cast<std::size_t>(static_cast<const char*>(nul) - line.text);
    try {
      stringDbFilename.assign(line.text, length);
    } catch (const std::bad_alloc&) {
      closeInputFile(file);
      return reportOutOfMemory();
    }
  }

  static const char* const kMissing[3] = {
      "Error: can't get the number of total items",
      "Error: can't get the number of max item length",
      "Error: can't get the number of all strings",
  };
  long long values[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    status = readSpecLine(file, &line, kMissing[k]);
    if (status < 0) {
      closeInputFile(file);
      return -1;
    }
    if (status == 0) error = true;
    values[k] = lineValue(line);
  }
  closeInputFile(file);

  if (!isValidSize(values[0]) || !isValidSize(values[1]) || !isValidSize(values[2])) {
    writeMessage("Error: wrong parameters given in spec file");
    error = true;
  }
  if (error) return -1;
  totalItems = static_cast<int>(values[0]);
  maxItemLength = static_cast<int>(values[1]);
  stringCount = static_cast<int>(values[2]);
  return 0;
}

}  // namespace tavrel
