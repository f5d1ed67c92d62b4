#include "formats/spec_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "base/decimal.h"
#include "base/input_file.h"

namespace tavrel::formats {

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
int takeDatabaseName(const LineView& line, std::string* name, Report& report) {
  std::size_t length = line.length;
  if (length > 0 && line.text[length - 1] == '\n') {
    --length;
    if (length > 0 && line.text[length - 1] == '\r') --length;
  }
  const void* nul = std::memchr(line.text, '\0', length);
  if (nul != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(nul) - line.text);
  try {
    name->assign(line.text, length);
  } catch (const std::bad_alloc&) {
    return report.outOfMemory();
  }
  return 0;
}

}  // namespace

int readSpecFile(const char* path, SpecFile* spec, Report& report) {
  InputFile file;
  if (!file.open(path, "r", false, report)) return -1;
  bool error = false;

  LineView line;
  int status = readSpecLine(file, &line, "Error: string db filename in spec file", report);
  if (status < 0) return -1;
  if (status == 0) error = true;
  spec->databaseName.clear();
  if (status > 0 && takeDatabaseName(line, &spec->databaseName, report) < 0) return -1;

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
  spec->totalItems = values[0];
  spec->maxItemLength = values[1];
  spec->stringCount = values[2];
  return 0;
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
