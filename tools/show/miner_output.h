// Reading the miner's standard output back, one pattern at a time: a line
// holding one blank, then per pattern a header "Pattern <n> Support = <s>: ",
// its edge line (each edge "<from>-<to>" followed by a tab) and an empty
// line, then the closing lines "Total Runtime: <t> sec." (any t), "Total
// Number of patterns: <count>" and 47 asterisks. Patterns are numbered 1,
// 2, 3... in order. One '\r' before a line end is ignored.
//
// An output that stops early (a run stopped by hand, or cut by `head`)
// ends where the input ends: every pattern whose edge line is complete is
// read, and the reader tells that the closing lines are missing. Anything
// that departs from the layout before that is an error.
#pragma once

#include <string>
#include <vector>

#include "common/line_reader.h"

namespace tavrel::tools {

struct Edge {
  int from = 0;
  int to = 0;
};

struct Pattern {
  int number = 0;
  int support = 0;
  std::vector<Edge> edges;  // in the order the miner wrote them
};

struct MinerOutputReader {
  LineReader lines;
  std::string name;  // of the input, in messages
  enum class State { kStart, kPatterns, kCutAfterPattern, kDone } state = State::kStart;
  int patternsRead = 0;
  bool complete = false;  // at the end: the closing lines were there
};

// Reads the next pattern into `pattern`. Returns 1 with a pattern, 0 at
// the end of the output (`reader->complete` tells whether it was the end
// of a complete run), and -1 with "<name>:<line>: <reason>" in `error` for
// an empty input, a header without an edge line, a malformed or repeated
// edge, a number out of sequence, a count that disagrees with the patterns
// read, text after the closing lines, or any other line out of place.
int nextPattern(MinerOutputReader* reader, Pattern* pattern, std::string* error);

}  // namespace tavrel::tools
