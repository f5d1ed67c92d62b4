#include "search/pattern_report.h"

#include "state/console.h"
#include "state/global_state.h"

namespace tavrel {

void reportPattern(const int* pattern, int entryCount, int support) {
  ++patternCount;
  putText("Pattern ");
  putInt(patternCount);
  putText(" Support = ");
  putInt(support);
  putText(": ");
  endLine();
  for (int k = 0; k < entryCount; ++k) {
    std::int64_t pairCode = edgeTable[pattern[k]].pairCode;
    putInt(pairCodeFrom(pairCode));
    putChar('-');
    putInt(pairCodeTo(pairCode));
    putChar('\t');
  }
  endLine();
  endLine();
}

bool TextPatternSink::take(const int* edges, int length, int support) {
  reportPattern(edges, length, support);
  return !outputFailed();
}

}  // namespace tavrel
