// The written form of a closed pattern.
#pragma once

#include "search/pattern_sink.h"

namespace tavrel {

// Counts the pattern in patternCount and writes its block of three lines:
//   "Pattern <patternCount> Support = <support>: "
//   "<from>-<to>\t" for each edge, in the given (ascending edgeId) order
//   an empty line
// `pattern` holds entryCount >= 1 edgeIds; items come from edgeTable's
// pairCodes.
void reportPattern(const int* pattern, int entryCount, int support);

// Writes each pattern it takes with reportPattern(); asks the search to
// stop once the output has failed.
class TextPatternSink : public PatternSink {
 public:
  bool take(const int* edges, int length, int support) override;
};

}  // namespace tavrel
