// The item table that tavrel-prep writes beside a database and that
// tavrel-show reads to print labels: one line per item, its number, a tab
// and its label. In a label, a tab, a line feed, a carriage return and a
// backslash are written as \t, \n, \r and \\, so that any label fits on
// its line; a backslash before any other character stands for itself.
// The first line is the fingerprint of the database the table was written
// for, "# database fingerprint: strings=<count> crc32=<8 hex digits>", with
// the CRC-32 of the database file's bytes; tables of earlier versions have
// none. Other lines starting with '#' are comments.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tavrel::tools {

struct DatabaseFingerprint {
  long long strings = 0;    // the number of strings in the database
  std::uint32_t crc32 = 0;  // of the database file's bytes
};

struct ItemTable {
  std::map<int, std::string> labels;               // by item number
  std::optional<DatabaseFingerprint> fingerprint;  // absent in older tables
};

// The table's first line for `fingerprint`, without its line end.
std::string fingerprintLine(const DatabaseFingerprint& fingerprint);

// The label as it is written in the table.
std::string escapeLabel(std::string_view label);

// The label that escapeLabel() wrote as `text`.
std::string unescapeLabel(std::string_view text);

// Reads a line that may be a fingerprint line: 1 with `fingerprint` set,
// 0 when the line is not one, -1 when it starts as one but is malformed.
int readFingerprintLine(std::string_view line, DatabaseFingerprint* fingerprint);

// The message for a malformed fingerprint line, after "<file>:<line>: ".
inline constexpr const char* kFingerprintExpected =
    "expected \"# database fingerprint: strings=<count> crc32=<8 hex digits>\"";

// Reads a table from `text`. Fails with "<fileName>:<line>: <reason>" for a
// malformed fingerprint, a line without a tab, a number that is not a whole
// non-negative int, or a number listed twice.
Result parseItemTable(std::string_view text, const std::string& fileName, ItemTable* table);

// Reads the table from the file `path`, as parseItemTable(); fails also
// when it cannot be opened or read.
Result readItemTable(const std::string& path, ItemTable* table);

// The label of `item`, or nullptr when the table does not list it.
const std::string* findLabel(const ItemTable& table, int item);

// The label of `item` when `table` is given and lists it; otherwise the
// item's number as decimal text.
std::string labelOrNumber(const ItemTable* table, int item);

}  // namespace tavrel::tools
