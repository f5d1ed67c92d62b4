// The miner's output, the one text form of a run's patterns:
//
//   " "                                  a line holding one blank
//   "Pattern <n> Support = <s>: "        per pattern, numbered 1, 2, 3...:
//   "<from>-<to>\t<from>-<to>\t..."        its edges, each followed by a tab
//   ""                                     and an empty line
//   "Total Runtime: <t> sec."            the closing lines of a complete run
//   "Total Number of patterns: <count>"
//   "*****...*****"                      (47 asterisks)
//
// Every line ends with '\n'. The writer formats by hand into the caller's
// buffer, so that writing costs little next to the search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tavrel/tavrel.h"

namespace tavrel::formats {

// The line that opens the output, before the first pattern.
inline constexpr std::string_view kOpeningLine = " \n";

// The most bytes writePatternBlock() writes for a pattern of `edgeCount`
// edges: 20 digits for the number and for the support, 23 per edge.
constexpr std::size_t patternBlockBound(std::size_t edgeCount) { return 64 + 24 * edgeCount; }

// Writes the block of pattern `number` at `out` and returns the position
// after it: the header line, the edge line with the edges in the order
// given, and the empty line. The support and the items must not be
// negative; `out` must have room for patternBlockBound() bytes.
char* writePatternBlock(char* out, std::uint64_t number, const Pattern& pattern);

// "Total Runtime: <t> sec.\n": the run time in whole milliseconds, written
// in seconds as a default-formatted double (at most six significant digits).
std::string runtimeLine(long long milliseconds);

// The closing lines of a complete run that wrote `patterns` patterns: the
// run-time line, the count line and the line of asterisks.
std::string closingLines(long long milliseconds, std::int64_t patterns);

}  // namespace tavrel::formats
