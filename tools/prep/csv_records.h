// Records of a comma-separated file as RFC 4180 defines them: fields
// separated by commas (or another separator byte), records by line ends
// ("\n" or "\r\n"). A field that starts with a double quote is quoted: it
// runs to the next lone quote and may hold separators, line ends and
// doubled quotes, which stand for one quote. Blanks around fields are part
// of them. A quote inside an unquoted field, text between a closing quote
// and the next separator, and a quoted field that is never closed are
// errors. Lines that start with a comment prefix are skipped where a
// record would start.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tavrel::tools {

struct CsvCursor {
  std::string_view text;
  std::size_t position = 0;
  long line = 1;                  // the line `position` is on
  char separator = ',';           // between fields; never '"', '\n' or '\r'
  std::string_view comment = {};  // lines starting with it are skipped; empty: none
  Result failure = {};            // why readCsvRecord() returned -1
};

// Reads the next record into `fields` and the line it starts on into
// `recordLine`. Returns 1 for a record, 0 at the end of the text, and -1
// with a reason in `cursor->failure` (and its line in `recordLine`).
int readCsvRecord(CsvCursor* cursor, std::vector<std::string>* fields, long* recordLine);

}  // namespace tavrel::tools
