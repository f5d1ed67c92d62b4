// The command line of Tavrel.exe: `Tavrel.exe [options] spec_file min_sup`.
// Options come before the two arguments and start with "--"; "--" ends
// them. What follows min_sup is ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tavrel/tavrel.h"

namespace tavrel {

struct CommandLine {
  bool valid = false;            // false: print the usage line and fail
  bool help = false;             // --help: print the usage and the options
  bool lineFlush = false;        // --line-flush: write every line at once
  bool progress = false;         // --progress: a progress line on standard error
  bool countOnly = false;        // --count-only: the closing lines alone, no pattern text
  std::int64_t maxPatterns = 0;  // --max-patterns N (0: no limit)
  int threads = 0;               // --threads N (0: every core the process may use)
  bool maximal = false;          // --maximal
  int minEdges = 0;              // --min-edges N (0: no bound)
  int maxEdges = 0;              // --max-edges N (0: no bound)
  std::vector<int> items;        // --items A,B,... (ascending, each once)
  std::int64_t top = 0;          // --top K (0: every pattern)
  std::string specPath;
  int minSup = 0;
  SupportShare minSupShare;  // min_sup given as a share of the strings
  std::string minSupText;    // min_sup as given
  std::string reason;        // why the line is not valid, for standard error
};

// Reads the arguments. min_sup, after any leading blanks, is a whole count
// ("25", at most the int maximum), or a share of the strings read: a
// decimal number followed by '%' ("50%", "2.5%") or a decimal fraction
// below 1 ("0.05", ".05"), above 0, at most 100%, at most 15 digits after
// the point. Anything else ("12.5", "5pct", "5 %", "1e3", "50%%") makes
// the line not valid.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The usage line, and the text of --help.
extern const char kUsageLine[];
extern const char kHelpText[];

}  // namespace tavrel
