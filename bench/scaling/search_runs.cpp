#include "scaling/search_runs.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <utility>

#include "input/first_pass.h"
#include "input/string_feed.h"
#include "pairs/pair_statistics.h"
#include "parallel/parallel_search.h"
#include "search/closed_search.h"
#include "search/search_frame.h"
#include "search/top_frame.h"
#include "search/top_pairs.h"
#include "state/run_state.h"
#include "tavrel/tavrel.h"
#include "transactions/third_pass.h"

namespace tavrel::scaling {

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Counts the patterns and keeps none.
class DroppingSink : public ClosedSetSink {
 public:
  bool take(const int* edges, int length, int support) override {
    (void)edges;
    (void)length;
    (void)support;
    ++patterns;
    return true;
  }
  long long patterns = 0;
};

// The processor time of the whole process so far, every thread's.
double cpuNow() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

}  // namespace

PassesResult runPasses(const std::string& spec, int minSup, int threads) {
  PassesResult result;
  RunState run;
  run.minSup = minSup;
  run.threads = threads;
  std::unique_ptr<StringFeed> feed = openStringFeed(StringSource::specFile(spec), run);
  if (feed == nullptr) return result;
  double start = now();
  if (countItems(run, *feed) < 0 || buildPairStatistics(run, *feed) < 0 ||
      buildEdgeDatabase(run, *feed) < 0) {
    return result;
  }
  result.seconds = now() - start;
  result.database = std::move(run.edgeDatabase);
  result.minSup = run.minSup;
  result.edges = run.edgeCount;
  result.ok = true;
  return result;
}

EdgeDatabase copyOf(const EdgeDatabase& database) {
  EdgeDatabase copy;
  copy.edgeCount = database.edgeCount;
  copy.rootSupport = database.rootSupport;
  if (!copy.supports.append(database.supports.data(), database.supports.size()) ||
      !copy.items.append(database.items.data(), database.items.size()) ||
      !copy.offsets.append(database.offsets.data(), database.offsets.size()) ||
      !copy.weights.append(database.weights.data(), database.weights.size())) {
    return EdgeDatabase{};
  }
  return copy;
}

TimedSearch timeSequential(EdgeDatabase database, int minSup) {
  DroppingSink sink;
  TimedSearch timed;
  double start = now();
  double cpu = cpuNow();
  searchClosed(std::move(database), minSup, sink);
  timed.seconds = now() - start;
  timed.cpuSeconds = cpuNow() - cpu;
  timed.patterns = sink.patterns;
  return timed;
}

TimedSearch timeParallel(EdgeDatabase database, int minSup, int threads) {
  DroppingSink sink;
  parallel::ParallelStats stats;
  parallel::ParallelOptions options;
  options.threads = threads;
  options.stats = &stats;
  TimedSearch timed;
  double start = now();
  double cpu = cpuNow();
  parallel::searchInParallel(database, minSup, sink, options);
  timed.seconds = now() - start;
  timed.cpuSeconds = cpuNow() - cpu;
  timed.searchSeconds = stats.searchSeconds;
  timed.idleSeconds = stats.idleSeconds;
  timed.patterns = sink.patterns;
  timed.splits = stats.splits;
  return timed;
}

double timePairTable(const EdgeDatabase& database, int minSup) {
  EdgeDatabase copy = copyOf(database);
  SearchShared shared;
  shared.minSup = minSup;
  FrameData top;
  if (!openTopFrame(copy, top, shared)) return 0;
  double fastest = 0;
  for (int round = 0; round < 3; ++round) {
    TopPairs pairs;
    double start = now();
    pairs.build(top.horizontal, static_cast<std::size_t>(top.candidateCount()), minSup, 1);
    double seconds = now() - start;
    fastest = round == 0 ? seconds : std::min(fastest, seconds);
  }
  return fastest;
}

CostTree recordSearch(EdgeDatabase database, int minSup, const RecorderOptions& options,
                      TimedSearch& timed) {
  CostRecorder recorder(options);
  SearchOptions search;
  search.observer = &recorder;
  search.stop = recorder.stopFlag();
  recorder.start();
  double start = now();
  double cpu = cpuNow();
  searchClosed(std::move(database), minSup, recorder, search);
  timed.seconds = now() - start;
  timed.cpuSeconds = cpuNow() - cpu;
  CostTree tree = recorder.finish();
  timed.notRunningSeconds = recorder.notRunningSeconds();
  return tree;
}

}  // namespace tavrel::scaling
