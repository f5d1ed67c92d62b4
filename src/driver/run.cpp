#include "driver/run.h"

#include <chrono>
#include <map>
#include <new>
#include <utility>

#include "input/decimal.h"
#include "input/first_pass.h"
#include "input/spec_file.h"
#include "pairs/pair_statistics.h"
#include "search/closed_search.h"
#include "search/pattern_report.h"
#include "state/console.h"
#include "state/global_state.h"
#include "state/memory.h"
#include "transactions/third_pass.h"

namespace tavrel {

namespace {

long long readMillisecondClock() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void writeLine(const char* text) {
  putText(text);
  endLine();
}

// Ends a run: releases what was built and turns a failed write into an
// error status with its message on standard error.
int finishRun(int status) {
  releaseState();
  if (outputFailed()) {
    reportOutputFailure();
    return -1;
  }
  return status;
}

}  // namespace

int releaseState() {
  deleteArray(itemTable);
  itemTable = nullptr;
  releasePairMatrix();
  deleteArray(frequentItems);
  frequentItems = nullptr;
  deleteArray(edgeTable);
  edgeTable = nullptr;
  std::map<std::int64_t, int>().swap(edgeIndex);
  edgeDatabase = EdgeDatabase{};
  return 0;
}

void resetState() {
  releaseState();
  stringDbFilename.clear();
  totalItems = maxItemLength = stringCount = 0;
  minSup = frequentItemCount = edgeCount = 0;
  patternCount = 0;
  runtimeMs = 0;
  resetOutOfMemory();
}

namespace {

int runPhases(int argc, const char* const* argv) {
  DecimalValue support;
  if (argc >= 3) support = convertDecimal(argv[2]);
  if (argc < 3 || support.value <= 0 || !fitsInInt(support.value)) {
    writeLine("Usage: Tavrel.exe spec_file min_sup");
    return finishRun(-1);
  }
  minSup = static_cast<int>(support.value);
  if (readSpecFile(argv[1]) < 0) return finishRun(-1);

  long long start = readMillisecondClock();
  if (countItems() < 0) return finishRun(-1);
  if (buildPairStatistics() < 0) return finishRun(-1);
  if (buildEdgeDatabase() < 0) return finishRun(-1);
  writeLine(" ");
  if (outputFailed()) return finishRun(-1);  // no search whose patterns cannot be written
  TextPatternSink sink;
  SearchOutcome outcome = searchClosed(std::move(edgeDatabase), minSup, sink);
  if (outcome == SearchOutcome::kOutOfMemory) reportOutOfMemory();
  if (outcome != SearchOutcome::kComplete) return finishRun(-1);
  runtimeMs = static_cast<double>(static_cast<int>(readMillisecondClock() - start));

  putText("Total Runtime: ");
  putDefaultDouble(runtimeMs / 1000.0);
  putText(" sec.");
  endLine();
  putText("Total Number of patterns: ");
  putInt(patternCount);
  endLine();
  releaseState();
  writeLine("***********************************************");
  return finishRun(0);
}

}  // namespace

int runTavrel(int argc, const char* const* argv) {
  resetState();
  try {
    return runPhases(argc, argv);
  } catch (const std::bad_alloc&) {
    // A standard string or container that could not grow. The phases keep
    // what they allocate in the global state, which finishRun() frees.
    reportOutOfMemory();
    return finishRun(-1);
  }
}

}  // namespace tavrel
