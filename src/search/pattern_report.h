// The written form of a closed pattern.
#pragma once

namespace tavrel {

// Counts the pattern in patternCount and writes its block of three lines:
//   "Pattern <patternCount> Support = <support>: "
//   "<from>-<to>\t" for each edge, in the given (ascending edgeId) order
//   an empty line
// `pattern` holds entryCount >= 1 edgeIds; items come from edgeTable's
// pairCodes.
void reportPattern(const int* pattern, int entryCount, int support);

}  // namespace tavrel
