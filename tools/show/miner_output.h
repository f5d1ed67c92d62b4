// Reading the miner's standard output back: a line holding one blank, then
// per pattern a header "Pattern <n> Support = <s>: ", its edge line (each
// edge "<from>-<to>" followed by a tab) and an empty line, then the lines
// "Total Runtime: <t> sec." (any t), "Total Number of patterns: <count>"
// and 47 asterisks. Patterns are numbered 1, 2, 3... in order. One '\r'
// before a line end is ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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

// Reads the whole output in `text` (named `name` in messages) into
// `patterns`. Returns 0, or -1 with "<name>:<line>: <reason>" in `error`
// for anything that departs from the layout above: a header without an
// edge line, a malformed or repeated edge, a number out of sequence, a
// count that disagrees with the patterns read, a missing summary line,
// or any other line.
int parseMinerOutput(std::string_view text, const std::string& name, std::vector<Pattern>* patterns,
                     std::string* error);

}  // namespace tavrel::tools
