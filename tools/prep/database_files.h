// Writing a database with its spec file and item table into a folder:
// <name>.db, <name>.spec, <name>.items.tsv and <name>.cases.tsv. The spec file's first line is
// the bare file name <name>.db, so the miner finds the database when it is
// started from that folder. The item table starts with the database's
// fingerprint (see common/item_table.h), and so does the case table (see
// common/case_table.h). Each file is written under a temporary name in
// the folder and renamed only when all three are complete, so a failed run
// never leaves a file that looks finished.
#pragma once

#include <string>

#include "base/result.h"
#include "prep/database.h"

namespace tavrel::tools {

// Creates `folder` (and its parents) when missing and writes the four
// files. Fails with a message; the temporary files are then removed again.
Result writeDatabaseFiles(const std::string& folder, const std::string& name,
                          const Database& database);

}  // namespace tavrel::tools
