// The command line of tavrel-prep:
//   tavrel-prep --format spmf|text|pairs|csv|xes [--comment PREFIX]
//               [--case COL --activity COL [--time COL [--time-format F]]
//                [--separator C] [--no-header]]
//               [--repeats drop|refuse|number | --strict-repeats]
//               INPUT OUTDIR [NAME]
// Options may also be written --option=VALUE; "--" ends the options.
#pragma once

#include <string>

#include "base/result.h"
#include "prep/database.h"
#include "prep/event_log.h"

namespace tavrel::tools {

enum class InputFormat { kSpmf, kText, kPairs, kCsv, kXes };

struct PrepOptions {
  bool help = false;
  InputFormat format = InputFormat::kText;
  EventLogFormat log;  // the columns and the layout of a CSV event log
  RepeatMode repeats = RepeatMode::kDrop;
  std::string comment;  // lines starting with it are skipped; empty: none
  std::string input;
  std::string outDir;
  std::string name;  // the output files' base name; defaults to the input's without its extension
};

// Reads the arguments after the program name. Fails with the reason: an
// unknown option, a missing value, a missing or
// extra operand, --case/--activity missing for csv, a CSV option given for
// another format, a column that is not a number with --no-header, a
// separator that is not one byte, or a NAME that cannot be a file name in
// OUTDIR.
Result parsePrepOptions(int argc, const char* const* argv, PrepOptions* options);

// The text --help prints.
const char* prepUsage();

}  // namespace tavrel::tools
