// The case table that tavrel-prep writes beside a database as
// <name>.cases.tsv: for each string, the case or sequence of the source it
// came from.
//
//   # database fingerprint: strings=<count> crc32=<8 hex digits>
//   line<TAB>case
//   1<TAB><case id>
//   2<TAB><case id>
//   ...
//
// One row per string, in database order: the string's line number in the
// database file (from 1) and its identifier in the source (the case id of
// an event log, the line number of a text or SPMF file), escaped as item
// labels are (see item_table.h), so a tab or a line end in an id keeps to
// its field.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "common/item_table.h"
#include "common/output_sink.h"

namespace tavrel::tools {

struct CaseTable {
  std::vector<std::string> cases;                  // by database line - 1
  std::optional<DatabaseFingerprint> fingerprint;  // of the database it was written for
};

// Writes the table of the database with `fingerprint`, whose string s
// (from 0, `count` of them) came from the case caseOf(s).
void putCaseTable(OutputSink* sink, const DatabaseFingerprint& fingerprint, std::size_t count,
                  const std::function<std::string(std::size_t)>& caseOf);

// Reads the table from the file `path`. Fails with "<path>:<line>:
// <reason>" (or the reason the file cannot be read): a malformed
// fingerprint, a missing header, a row without a tab, or a line number
// other than the next one.
Result readCaseTable(const std::string& path, CaseTable* table);

}  // namespace tavrel::tools
