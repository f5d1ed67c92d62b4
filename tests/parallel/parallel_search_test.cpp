// The parallel search on edge transactions given directly: work cut up
// among threads, pieces searched as units of their own, and a sink that
// stops it give the literal search's patterns in its order.
#include "parallel/parallel_search.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "search/edge_strings.h"
#include "search/literal_search.h"
#include "search/search_conditions.h"
#include "search/top_frame.h"

namespace tavrel::testing {
namespace {

std::vector<LiteralPattern> mineInParallel(const Strings& strings, int edgeCount, int rootSupport,
                                           int minSup, const parallel::ParallelOptions& options) {
  CollectingSink sink;
  EdgeDatabase database = databaseOf(strings, edgeCount, rootSupport);
  SearchOutcome outcome = parallel::searchInParallel(database, minSup, sink, options);
  EXPECT_EQ(outcome, SearchOutcome::kComplete);
  return sink.patterns;
}

TEST(ParallelSearchTest, WorkCutUpAmongThreadsGivesTheSamePatternsInTheSameOrder) {
  // Every range split as soon as it can be, and splits on demand with
  // 1, 2, 3 and 8 workers, in each form of the frames; and the maximal
  // patterns, which a piece that starts inside a range decides from the
  // candidates before it.
  SearchConditions maximal;
  maximal.maximal = true;
  std::mt19937 random(20261210);
  for (int round = 0; round < 60; ++round) {
    int edges = 2 + static_cast<int>(random() % 20);
    int count = 2 + static_cast<int>(random() % 30);
    Strings strings = randomStrings(random, edges, count, round);
    for (int minSup : {1, 2, count / 3 + 1}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   describe(strings));
      std::vector<LiteralPattern> expected = literalClosedPatterns(strings, edges, count, minSup);
      for (FramePolicy policy :
           {FramePolicy::kCheapest, FramePolicy::kHorizontal, FramePolicy::kVertical}) {
        for (int threads : {1, 2, 3, 8}) {
          parallel::ParallelOptions options;
          options.threads = threads;
          options.policy = policy;
          options.splitAlways = threads != 2;
          // Odd rounds leave almost no room for patterns that wait, so
          // that work is put aside and idle workers wait for the output.
          if (round % 2 == 1) options.waitingCap = 64;
          options.vectorRows = round % 3 != 0;
          ASSERT_EQ(mineInParallel(strings, edges, count, minSup, options), expected)
              << "policy " << static_cast<int>(policy) << ", " << threads << " threads";
          options.conditions = &maximal;
          ASSERT_EQ(mineInParallel(strings, edges, count, minSup, options), maximalOf(expected))
              << "maximal, policy " << static_cast<int>(policy) << ", " << threads << " threads";
        }
      }
    }
  }
}

// The output of one unit of work: patterns, and the marks of the pieces
// it gave away (mark >= 0) where their patterns belong.
struct UnitOutput {
  std::vector<std::pair<int, LiteralPattern>> entries;
};

class UnitSink : public ClosedSetSink, public parallel::WorkExchange {
 public:
  UnitSink(std::vector<parallel::WorkUnit>& units, std::mutex& lock, UnitOutput& out)
      : units_(units), lock_(lock), out_(out) {}
  bool take(const int* edges, int length, int support) override {
    out_.entries.push_back({-1, {std::vector<int>(edges, edges + length), support}});
    return true;
  }
  int give(const parallel::WorkUnit& unit, bool asked) override {
    std::lock_guard<std::mutex> guard(lock_);
    EXPECT_TRUE(asked || always);
    units_.push_back(unit);
    return static_cast<int>(units_.size()) - 1;
  }
  bool reached(int id) override {
    out_.entries.push_back({id, {}});
    return true;
  }

 private:
  std::vector<parallel::WorkUnit>& units_;
  std::mutex& lock_;
  UnitOutput& out_;
};

// Searches the whole top range as a unit, and every piece given away as a
// unit of its own, each giving pieces away again (at every step, or once
// when asked at its start); then puts the pieces' patterns in place of
// their marks.
std::vector<LiteralPattern> mineInUnits(const Strings& strings, int edgeCount, int minSup,
                                        int threads, bool always, int* pieces) {
  SearchShared shared;
  shared.minSup = minSup;
  FrameData top;
  EdgeDatabase database = databaseOf(strings, edgeCount, static_cast<int>(strings.size()));
  EXPECT_TRUE(openTopFrame(database, top, shared));
  top.references.store(1);
  std::vector<parallel::WorkUnit> units{{{}, 0, top.candidateCount()}};
  std::deque<UnitOutput> outputs;
  std::mutex lock;
  for (std::size_t u = 0; u < units.size(); ++u) {
    parallel::WorkUnit unit = units[u];
    outputs.emplace_back();
    UnitSink sink(units, lock, outputs.back());
    sink.always = always;
    sink.wanted.store(!always);
    parallel::ParallelOptions options;
    options.threads = threads;
    options.exchange = &sink;
    EXPECT_EQ(parallel::searchUnitInParallel(top, shared, unit, sink, options),
              SearchOutcome::kComplete);
  }
  EXPECT_EQ(top.references.load(), 1);
  *pieces += static_cast<int>(units.size()) - 1;
  std::vector<LiteralPattern> patterns;
  std::function<void(std::size_t)> write = [&](std::size_t u) {
    for (auto& [mark, pattern] : outputs[u].entries) {
      if (mark >= 0) {
        write(static_cast<std::size_t>(mark));
      } else {
        patterns.push_back(pattern);
      }
    }
  };
  write(0);
  return patterns;
}

TEST(ParallelSearchTest, PiecesSearchedAsUnitsFitBackWhereTheirMarksStand) {
  std::mt19937 random(20261211);
  int pieces = 0;
  for (int round = 0; round < 24; ++round) {
    int edges = 2 + static_cast<int>(random() % 13);
    int count = 2 + static_cast<int>(random() % 24);
    Strings strings = randomStrings(random, edges, count, round);
    for (int minSup : {1, 2, count / 3 + 1}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   describe(strings));
      std::vector<LiteralPattern> expected = literalClosedPatterns(strings, edges, count, minSup);
      for (int threads : {1, 3}) {
        for (bool always : {false, true}) {
          ASSERT_EQ(mineInUnits(strings, edges, minSup, threads, always, &pieces), expected)
              << threads << " threads" << (always ? ", giving at every step" : "");
        }
      }
    }
  }
  EXPECT_GT(pieces, 1000);
}

TEST(ParallelSearchTest, ASinkThatStopsGetsThePatternsBeforeTheStop) {
  // With work put aside and workers idle when the sink stops: the run
  // still ends, with the same first patterns as on one thread.
  Strings strings{{0, 1, 2, 3}, {0, 3}, {0, 1, 2}, {1}, {0, 1, 3}, {2, 3}};
  std::vector<LiteralPattern> all = literalClosedPatterns(strings, 4, 6, 1);
  ASSERT_GT(all.size(), 4u);
  for (int threads : {2, 8}) {
    for (int limit = 1; limit < static_cast<int>(all.size()); ++limit) {
      CollectingSink sink(static_cast<std::size_t>(limit));
      parallel::ParallelOptions options;
      options.threads = threads;
      options.waitingCap = 16;
      EdgeDatabase database = databaseOf(strings, 4, 6);
      EXPECT_EQ(parallel::searchInParallel(database, 1, sink, options), SearchOutcome::kStopped);
      EXPECT_EQ(sink.patterns, std::vector<LiteralPattern>(all.begin(), all.begin() + limit));
    }
  }
}

}  // namespace
}  // namespace tavrel::testing
