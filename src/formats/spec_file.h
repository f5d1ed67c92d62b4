// The spec file: four lines that name the string database and give its
// sizes.
//
//   <database file name>   as given to the file system
//   <totalItems>           item numbers are 0 .. totalItems - 1
//   <maxItemLength>        the most items one string holds
//   <stringCount>          the number of strings
#pragma once

#include <string>

#include "base/report.h"
#include "base/result.h"

namespace tavrel::formats {

// The values of a spec file.
struct SpecFile {
  std::string databaseName;  // line 1 without its line end
  long long totalItems = 0;
  long long maxItemLength = 0;
  long long stringCount = 0;
};

// Reads and checks the spec file at `path` into `spec`. Succeeds when all
// four values are valid (the three numbers between 1 and the int maximum).
// Otherwise fails with every message that applies, in line order, one a
// line, leaving `spec` in no particular state:
//   "Error: string db filename in spec file"          (no line 1)
//   "Error: can't get the number of total items"      (no line 2)
//   "Error: can't get the number of max item length"  (no line 3)
//   "Error: can't get the number of all strings"      (no line 4)
//   "Error: wrong parameters given in spec file"      (a value <= 0 or too big)
// A spec file that cannot be opened or read fails with "Error: cannot open
// file <path> with mode r" alone, as the miner's other input files do.
Result readSpecFile(const char* path, SpecFile* spec);

// Where the database named in a spec file is read from: `databaseName` as
// it stands when that file exists (relative names from the working
// directory), otherwise the same name beside the spec file when that one
// exists. When neither exists, gives databaseName and adds to `report` a
// hint saying where it looked and that the name is line 1 of the spec file.
std::string locateDatabase(const std::string& specPath, const std::string& databaseName,
                           Report& report);

// The text of a spec file with `spec`'s values: each on a line of its own,
// the numbers in plain decimal. The values are written as they are, so a
// test can write a spec file that readSpecFile() refuses.
std::string specFileText(const SpecFile& spec);

}  // namespace tavrel::formats
