#include "formats/spec_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "base/decimal.h"
#include "base/line_input.h"

namespace tavrel::formats {

namespace {

// The failure of a spec file that cannot be opened or read: out of memory,
// or "Error: cannot open file <path> with mode r".
Result cannotOpen(const Result& reason, const char* path) {
  if (reason.isOutOfMemory()) return Result::outOfMemory();
  return Result::failure(std::string("Error: cannot open file ") + path + " with mode r");
}

// Reads the next line of the spec file. Returns 1 with the line, 0 when the
// file has ended (after adding `missingMessage` to `messages`, one a line),
// -1 when it cannot be read (`failure` then says why).
int readSpecLine(LineInput& file, LineView* line, const char* missingMessage, std::string* messages,
                 Result* failure, const char* path) {
  int status = file.readLine(line);
  if (status == 0) {
    if (!messages->empty()) messages->push_back('\n');
    messages->append(missingMessage);
    *line = LineView{};
  }
  if (status < 0) *failure = cannotOpen(file.failure(), path);
  return status;
}

// The value of a number line, or 0 when the line is missing.
long long lineValue(const LineView& line) {
  return line.text == nullptr ? 0 : convertDecimal(line.text, line.length, 0).value;
}

bool isValidSize(long long value) { return value > 0 && fitsInInt(value); }

bool fileExists(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0;
}

// The working directory for a message, or "." when it cannot be had.
std::string workingDirectory() {
  char path[4096];
  return getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string(".");
}

// The database name from line 1: without its line end and a CR before it,
// and up to a NUL byte, which ends the name as it would for the file system.
void takeDatabaseName(const LineView& line, std::string* name) {
  std::size_t length = line.length;
  if (length > 0 && line.text[length - 1] == '\n') {
    --length;
    if (length > 0 && line.text[length - 1] == '\r') --length;
  }
  const void* nul = std::memchr(line.text, '\0', length);
  if (nul != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(nul) - line.text);
  name->assign(line.text, length);
}

// readSpecFile() but for memory running out, which throws std::bad_alloc.
Result readSpecLines(const char* path, SpecFile* spec) {
  LineInput file;
  if (!file.openQuietly(path, false)) return cannotOpen(Result(), path);
  std::string messages;
  Result failure;

  LineView line;
  int status = readSpecLine(file, &line, "Error: string db filename in spec file", &messages,
                            &failure, path);
  if (status < 0) return failure;
  spec->databaseName.clear();
  if (status > 0) takeDatabaseName(line, &spec->databaseName);

  static const char* const kMissing[3] = {
      "Error: can't get the number of total items",
      "Error: can't get the number of max item length",
      "Error: can't get the number of all strings",
  };
  long long values[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    status = readSpecLine(file, &line, kMissing[k], &messages, &failure, path);
    if (status < 0) return failure;
    values[k] = lineValue(line);
  }

  if (!isValidSize(values[0]) || !isValidSize(values[1]) || !isValidSize(values[2])) {
    if (!messages.empty()) messages.push_back('\n');
    messages.append("Error: wrong parameters given in spec file");
  }
  if (!messages.empty()) return Result::failure(std::move(messages));
  spec->totalItems = values[0];
  spec->maxItemLength = values[1];
  spec->stringCount = values[2];
  return Result();
}

}  // namespace

Result readSpecFile(const char* path, SpecFile* spec) {
  try {
    return readSpecLines(path, spec);
  } catch (const std::bad_alloc&) {
    return Result::outOfMemory();
  }
}

std::string specFileText(const SpecFile& spec) {
  return spec.databaseName + "\n" + std::to_string(spec.totalItems) + "\n" +
         std::to_string(spec.maxItemLength) + "\n" + std::to_string(spec.stringCount) + "\n";
}

std::string locateDatabase(const std::string& specPath, const std::string& databaseName,
                           Report& report) {
  if (databaseName.empty() || fileExists(databaseName)) return databaseName;
  std::size_t slash = specPath.rfind('/');
  bool relative = databaseName[0] != '/';
  std::string beside;
  if (relative && slash != std::string::npos) {
    beside = specPath.substr(0, slash + 1) + databaseName;
    if (fileExists(beside)) return beside;
  }
  std::string looked = relative ? " in the working directory " + workingDirectory() : "";
  if (!beside.empty()) looked += " or beside the spec file as " + beside;
  report.hint("found no database file " + databaseName + looked);
  report.hint("the database's name is line 1 of the spec file " + specPath);
  return databaseName;
}

}  // namespace tavrel::formats
