// The miner's output, the one text form of a run's patterns:
//
//   " "                                  a line holding one blank
//   "Pattern <n> Support = <s>: "        per pattern, numbered 1, 2, 3...:
//   "<from>-<to>\t<from>-<to>\t..."        its edges, each followed by a tab
//   ""                                     and an empty line
//   "Total Runtime: <t> sec."            the closing lines of a complete run
//   "Total Number of patterns: <count>"
//   "*****...*****"                      (47 asterisks)
//   "Stopped after <count> patterns, the limit set by --max-patterns"
//                                        only after a run that stopped there
//
// Every line ends with '\n'. The writer formats by hand into the caller's
// buffer, so that writing costs little next to the search. The reader takes
// the output back one pattern at a time, in constant memory apart from the
// longest line, and reads an output that was cut off as far as it goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/line_input.h"
#include "base/result.h"
#include "tavrel/tavrel.h"

namespace tavrel::formats {

// The fixed texts of the output, the one place that both the writer and
// the reader take them from.
inline constexpr std::string_view kOpeningLine = " \n";  // before the first pattern
inline constexpr std::string_view kPatternStart = "Pattern ";
inline constexpr std::string_view kSupportStart = " Support = ";
inline constexpr std::string_view kHeaderEnd = ": ";
inline constexpr std::string_view kRuntimeStart = "Total Runtime: ";
inline constexpr std::string_view kRuntimeEnd = " sec.";
inline constexpr std::string_view kCountStart = "Total Number of patterns: ";
inline constexpr std::string_view kStars = "***********************************************";
inline constexpr std::string_view kCappedStart = "Stopped after ";
inline constexpr std::string_view kCappedEnd = " patterns, the limit set by --max-patterns";

// The most bytes writePatternBlock() writes for a pattern of `edgeCount`
// edges: 20 digits for the number and for the support, 23 per edge.
constexpr std::size_t patternBlockBound(std::size_t edgeCount) { return 64 + 24 * edgeCount; }

// Writes the block of pattern `number` at `out` and returns the position
// after it: the header line, the edge line with the edges in the order
// given, and the empty line. The support and the items must not be
// negative; `out` must have room for patternBlockBound() bytes.
char* writePatternBlock(char* out, std::uint64_t number, const Pattern& pattern);

// The two parts of a pattern's block, for writers that learn the number
// last: "Pattern <number>", and the rest (" Support = ..." to the empty
// line). Each returns the position after what it wrote.
char* writePatternNumber(char* out, std::uint64_t number);
char* writePatternAfterNumber(char* out, const Pattern& pattern);

// "Pattern <n>" for n = 1, 2, 3... in turn, counted up in its own text:
// no division per pattern, as writePatternNumber() needs for long numbers.
class PatternNumbers {
 public:
  static constexpr std::size_t kRoom = 32;  // bytes writeNext() may write
  // Starts before pattern 1.
  PatternNumbers();
  // Moves on to the next number and writes "Pattern <n>" at `out`, which
  // needs room for kRoom bytes (past the number they are left unset);
  // returns the position after the number.
  char* writeNext(char* out);

 private:
  char text_[kRoom] = {};
  std::size_t length_ = kPatternStart.size() + 1;  // of "Pattern <n>"
};
// A pattern's block is written in the room of patternBlockBound(), which
// must hold writeNext()'s fixed-size copy too.
static_assert(PatternNumbers::kRoom <= patternBlockBound(0));

// "Total Runtime: <t> sec.\n": the run time in whole milliseconds (any
// non-negative count; 64 bits, so no run is too long for it), written in
// seconds as a default-formatted double (at most six significant digits).
std::string runtimeLine(long long milliseconds);

// The closing lines of a complete run that wrote `patterns` patterns: the
// run-time line, the count line and the line of asterisks.
std::string closingLines(long long milliseconds, std::int64_t patterns);

// The line that follows the closing lines of a run stopped at the pattern
// limit after `patterns` patterns, so that a reader of the output can tell
// it from a complete run: its patterns are the first ones the search
// found, not the best ones.
std::string cappedLine(std::int64_t patterns);

// An edge as the output shows it: item `from` stands before item `to`.
struct OutputEdge {
  int from = 0;
  int to = 0;
};

// A pattern as the output shows it.
struct OutputPattern {
  std::int64_t number = 0;  // 64 bits: a run can write more than 2^31 patterns
  int support = 0;
  std::vector<OutputEdge> edges;  // in the order the miner wrote them
};

// The reading of one output. Set `lines` (LineInput::openOrStandardInput(),
// adopt() or overText()) and `name`, then call nextPattern() until it
// returns 0 or -1. The reader takes one '\r' before a line end, and a last
// line without its '\n', as the line itself. An output that stops early (a
// run stopped by hand, or cut by `head`) ends where the input ends: every
// pattern whose edge line is complete is read, and `complete` stays false.
struct MinerOutputReader {
  LineInput lines;
  std::string name;  // of the input, in messages
  enum class State { kStart, kPatterns, kCutAfterPattern, kDone } state = State::kStart;
  std::int64_t patternsRead = 0;
  // The closing lines, as far as they were read:
  std::string runtime;             // the <t> of a complete run-time line (any text); empty before
  std::int64_t patternCount = -1;  // the <count> of the count line (equals patternsRead); -1 before
  bool complete = false;           // at the end: every closing line was there
  bool capped = false;             // at the end: the run stopped at --max-patterns (cappedLine())
  Result failure;                  // why nextPattern() returned -1
};

// Reads the next pattern into `pattern`. Returns 1 with a pattern, 0 at
// the end of the output (`reader->complete` tells whether it was the end
// of a complete run), and -1 with "<name>:<line>: <reason>" in
// `reader->failure` for an empty input, a header without an edge line, a
// malformed or repeated edge, a number out of sequence, a count that
// disagrees with the patterns read, text after the closing lines, or any
// other line out of place ("cannot read <name>: <reason>" when reading
// fails). Throws std::bad_alloc when memory runs out.
int nextPattern(MinerOutputReader* reader, OutputPattern* pattern);

}  // namespace tavrel::formats
