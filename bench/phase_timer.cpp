// tavrel-phases: times each phase of one mining run on its own, to show
// where the time goes.
//
//   tavrel-phases spec_file min_sup [repetitions] [--written-only]
//                 [--form cheapest|horizontal|vertical]
//
// Runs from the spec file's folder (so that a bare database name is found)
// and repeats the whole run (3 times by default), printing the median of
// each phase: the first pass (item table), the second pass (pair statistics
// and edge table), the third pass (edge transactions), the search with its
// output written to /dev/null, and the same search again with the lines
// formatted but not written. The difference of the last two is what
// writing (and flushing) every line costs. --written-only leaves out the
// second search (for runs that take hours); --form pins the form of the
// search's frames.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "driver/run.h"
#include "input/first_pass.h"
#include "input/spec_file.h"
#include "pairs/pair_statistics.h"
#include "search/closed_search.h"
#include "search/pattern_report.h"
#include "state/console.h"
#include "state/global_state.h"
#include "transactions/third_pass.h"

namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// A copy of the database, so that the search (which takes its database
// over) can run twice on the same transactions.
tavrel::EdgeDatabase copyOf(const tavrel::EdgeDatabase& database) {
  tavrel::EdgeDatabase copy;
  copy.edgeCount = database.edgeCount;
  copy.rootSupport = database.rootSupport;
  if (!copy.supports.append(database.supports.data(), database.supports.size()) ||
      !copy.items.append(database.items.data(), database.items.size()) ||
      !copy.offsets.append(database.offsets.data(), database.offsets.size()) ||
      !copy.weights.append(database.weights.data(), database.weights.size())) {
    std::fprintf(stderr, "out of memory\n");
    std::exit(1);
  }
  return copy;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: tavrel-phases spec_file min_sup [repetitions] [--written-only] "
                 "[--form cheapest|horizontal|vertical]\n");
    return 2;
  }
  std::string spec = argv[1];
  std::size_t slash = spec.rfind('/');
  if (slash != std::string::npos) {
    if (chdir(spec.substr(0, slash).c_str()) != 0) {
      std::perror("chdir");
      return 2;
    }
    spec = spec.substr(slash + 1);
  }
  int repetitions = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  bool writtenOnly = false;
  tavrel::FramePolicy policy = tavrel::FramePolicy::kCheapest;
  for (int k = 4; k < argc; ++k) {
    std::string option = argv[k];
    if (option == "--written-only") writtenOnly = true;
    if (option == "--form" && k + 1 < argc) {
      std::string form = argv[++k];
      if (form == "horizontal") policy = tavrel::FramePolicy::kHorizontal;
      if (form == "vertical") policy = tavrel::FramePolicy::kVertical;
    }
  }
  int devNull = open("/dev/null", O_WRONLY);
  const char* names[] = {"first pass", "second pass", "third pass and tree", "search, written",
                         "search, not written"};
  std::size_t transactions = 0;
  std::size_t items = 0;
  std::vector<double> times[5];
  long long patterns = 0;
  for (int run = 0; run < repetitions; ++run) {
    tavrel::resetState();
    tavrel::minSup = std::atoi(argv[2]);
    if (tavrel::readSpecFile(spec.c_str()) < 0) return 1;
    double t0 = now();
    if (tavrel::countItems() < 0) return 1;
    double t1 = now();
    if (tavrel::buildPairStatistics() < 0) return 1;
    double t2 = now();
    if (tavrel::buildEdgeDatabase() < 0) return 1;
    double t3 = now();
    transactions = tavrel::edgeDatabase.transactionCount();
    items = tavrel::edgeDatabase.items.size();
    tavrel::EdgeDatabase again =
        writtenOnly ? tavrel::EdgeDatabase{} : copyOf(tavrel::edgeDatabase);
    tavrel::TextPatternSink sink;
    tavrel::setOutputDescriptor(devNull);
    double t3b = now();
    tavrel::searchClosed(std::move(tavrel::edgeDatabase), tavrel::minSup, sink, policy);
    double t4 = now();
    patterns = tavrel::patternCount;
    tavrel::patternCount = 0;
    tavrel::setOutputDescriptor(-1);
    if (!writtenOnly) tavrel::searchClosed(std::move(again), tavrel::minSup, sink, policy);
    double t5 = now();
    t4 -= t3b - t3;
    tavrel::setOutputDescriptor(1);
    double marks[] = {t0, t1, t2, t3, t4, t5};
    for (int phase = 0; phase < 5; ++phase) times[phase].push_back(marks[phase + 1] - marks[phase]);
  }
  std::printf(
      "%s, min_sup %s: %d frequent items, %d edges, %zu distinct transactions of %zu edges in "
      "all, %lld patterns\n",
      argv[1], argv[2], tavrel::frequentItemCount, tavrel::edgeCount, transactions, items,
      patterns);
  double total = 0;
  for (int phase = 0; phase < 4; ++phase) total += median(times[phase]);
  for (int phase = 0; phase < 5; ++phase) {
    std::printf("  %-22s %9.3f s\n", names[phase], median(times[phase]));
  }
  std::printf("  %-22s %9.3f s\n", "writing the lines",
              std::max(0.0, median(times[3]) - median(times[4])));
  std::printf("  %-22s %9.3f s (median of %d)\n", "whole run", total, repetitions);
  tavrel::resetState();
  close(devNull);
  return 0;
}
