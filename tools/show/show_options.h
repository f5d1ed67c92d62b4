// The command line of tavrel-show:
//   tavrel-show [--format summary|dot|jsonl|csv|svg|png|html] [--items FILE]
//               [--strings SPEC_FILE]
//               [--output-dir DIR] [--pattern N[,N...]]... [--min-support S]
//               [--min-edges E] [--max-edges E] [--top K] [--all-edges]
//               [--strict] [MINER_OUTPUT]
// Without MINER_OUTPUT, or with "-", the miner's output is read from
// standard input. Options may also be written --option=VALUE; "--" ends
// the options.
#pragma once

#include <string>

#include "base/result.h"
#include "show/selection.h"

namespace tavrel::tools {

enum class ShowFormat { kSummary, kDot, kJsonLines, kCsv, kSvg, kPng, kHtml };

struct ShowOptions {
  bool help = false;
  ShowFormat format = ShowFormat::kSummary;
  std::string itemsPath;    // empty: no item table
  std::string stringsSpec;  // the spec file of the database for --strings; empty: none
  std::string outputDir;    // pictures: one file per pattern; empty: standard output
  Selection selection;
  bool allEdges = false;
  bool strict = false;  // an output that was cut off is an error
  std::string input = "-";
};

// Reads the arguments after the program name. Fails with the reason: an
// unknown option or format, a missing value, a number that is not a whole
// non-negative int, --strings with a format other than csv, jsonl and
// html, --all-edges or --output-dir
// with a format that draws no pictures, SVG or PNG for more than one
// pattern without --output-dir, or more than one operand.
Result parseShowOptions(int argc, const char* const* argv, ShowOptions* options);

// The text --help prints.
const char* showUsage();

}  // namespace tavrel::tools
