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
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/text_sink.h"
#include "input/first_pass.h"
#include "input/string_feed.h"
#include "output/block_writer.h"
#include "pairs/pair_statistics.h"
#include "search/closed_search.h"
#include "state/run_state.h"
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

// The search's patterns, as item pairs, to the command line's text sink.
class TextAdapter : public tavrel::ClosedSetSink {
 public:
  TextAdapter(const tavrel::RunState& run, tavrel::TextSink& text) : run_(run), text_(text) {}
  bool take(const int* edges, int length, int support) override {
    pairs_.clear();
    for (int k = 0; k < length; ++k) {
      std::int64_t pairCode = run_.edgeTable[edges[k]].pairCode;
      pairs_.push_back({run_.pairCodeFrom(pairCode), run_.pairCodeTo(pairCode)});
    }
    return text_.take(tavrel::Pattern{support, pairs_});
  }

 private:
  const tavrel::RunState& run_;
  tavrel::TextSink& text_;
  std::vector<tavrel::Edge> pairs_;
};

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
  const char* names[] = {"first pass", "second pass", "third pass", "search, written",
                         "search, not written"};
  int minSup = std::atoi(argv[2]);
  int frequentItems = 0;
  int edges = 0;
  std::size_t transactions = 0;
  std::size_t items = 0;
  std::vector<double> times[5];
  long long patterns = 0;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    tavrel::RunState run;
    run.minSup = minSup;
    tavrel::StringSource source = tavrel::StringSource::specFile(spec);
    std::unique_ptr<tavrel::StringFeed> feed = tavrel::openStringFeed(source, run);
    if (feed == nullptr) return 1;
    double t0 = now();
    if (tavrel::countItems(run, *feed) < 0) return 1;
    double t1 = now();
    if (tavrel::buildPairStatistics(run, *feed) < 0) return 1;
    double t2 = now();
    if (tavrel::buildEdgeDatabase(run, *feed) < 0) return 1;
    double t3 = now();
    frequentItems = run.frequentItemCount;
    edges = run.edgeCount;
    transactions = run.edgeDatabase.transactionCount();
    items = run.edgeDatabase.items.size();
    tavrel::EdgeDatabase again = writtenOnly ? tavrel::EdgeDatabase{} : copyOf(run.edgeDatabase);
    double searchTimes[2] = {0, 0};
    for (int written = 1; written >= 0; --written) {
      if (written == 0 && writtenOnly) break;
      tavrel::output::BlockWriterOptions writing;
      writing.fd = written ? devNull : -1;
      tavrel::output::BlockWriter out(writing);
      tavrel::TextSink text(out);
      TextAdapter adapter(run, text);
      tavrel::SearchOptions options;
      options.policy = policy;
      double start = now();
      tavrel::searchClosed(written ? std::move(run.edgeDatabase) : std::move(again), minSup,
                           adapter, options);
      out.flush();
      searchTimes[1 - written] = now() - start;
      patterns = text.written();
    }
    double phases[] = {t1 - t0, t2 - t1, t3 - t2, searchTimes[0], searchTimes[1]};
    for (int phase = 0; phase < 5; ++phase) times[phase].push_back(phases[phase]);
  }
  std::printf(
      "%s, min_sup %s: %d frequent items, %d edges, %zu distinct transactions of %zu edges in "
      "all, %lld patterns\n",
      argv[1], argv[2], frequentItems, edges, transactions, items, patterns);
  double total = 0;
  for (int phase = 0; phase < 4; ++phase) total += median(times[phase]);
  for (int phase = 0; phase < 5; ++phase) {
    std::printf("  %-22s %9.3f s\n", names[phase], median(times[phase]));
  }
  std::printf("  %-22s %9.3f s\n", "writing the lines",
              std::max(0.0, median(times[3]) - median(times[4])));
  std::printf("  %-22s %9.3f s (median of %d)\n", "whole run", total, repetitions);
  close(devNull);
  return 0;
}
