// The search on edge transactions given directly: the same patterns in the
// same order as the literal search, in each form of its frames; a sink
// that stops it; and a search far deeper than a call stack. (The parallel
// search's: parallel/parallel_search_test.cpp.)
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "search/closed_search.h"
#include "search/edge_strings.h"
#include "search/literal_search.h"

namespace tavrel::testing {
namespace {

std::vector<LiteralPattern> mine(const Strings& strings, int edgeCount, int rootSupport, int minSup,
                                 FramePolicy policy, bool vectorRows = true) {
  CollectingSink sink;
  SearchOptions options{policy, nullptr};
  options.vectorRows = vectorRows;
  SearchOutcome outcome =
      searchClosed(databaseOf(strings, edgeCount, rootSupport), minSup, sink, options);
  EXPECT_EQ(outcome, SearchOutcome::kComplete);
  return sink.patterns;
}

TEST(SearchFormsTest, EveryFormFindsTheLiteralPatternsInTheirOrder) {
  std::mt19937 random(20261209);
  int patternsSeen = 0;
  for (int round = 0; round < 400; ++round) {
    int edges = 1 + static_cast<int>(random() % 24);
    int count = 1 + static_cast<int>(random() % 40);
    double density = (round % 3 + 1) * 0.3;
    std::bernoulli_distribution holds(density);
    Strings strings;
    for (int s = 0; s < count; ++s) {
      std::vector<int> string;
      if (!strings.empty() && random() % 3 == 0) {
        string = strings[random() % strings.size()];  // duplicates merge
      } else {
        for (int e = 0; e < edges; ++e) {
          if (holds(random)) string.push_back(e);
        }
      }
      strings.push_back(string);
    }
    int rootSupport = count + (round % 7 == 0 ? 2 : 0);
    for (int minSup : {1, 2, 3, count / 2 + 1}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   describe(strings));
      std::vector<LiteralPattern> expected =
          literalClosedPatterns(strings, edges, rootSupport, minSup);
      for (FramePolicy policy :
           {FramePolicy::kCheapest, FramePolicy::kHorizontal, FramePolicy::kVertical}) {
        ASSERT_EQ(mine(strings, edges, rootSupport, minSup, policy), expected)
            << "policy " << static_cast<int>(policy);
      }
      ASSERT_EQ(mine(strings, edges, rootSupport, minSup, FramePolicy::kVertical, false), expected)
          << "rows counted without vector instructions";
      patternsSeen += static_cast<int>(expected.size());
    }
  }
  EXPECT_GT(patternsSeen, 20000);  // the databases are not trivially empty
}

// Maximality is decided at each step, on row sets or on transactions merged
// only when their witnesses are equal too: whatever the form, the search
// finds exactly the literal patterns that no other contains.
TEST(SearchFormsTest, EveryFormDecidesMaximalityAsTheDefinitionDoes) {
  std::mt19937 random(20261210);
  SearchConditions maximal;
  maximal.maximal = true;
  int kept = 0;
  int dropped = 0;
  for (int round = 0; round < 150; ++round) {
    int edges = 2 + static_cast<int>(random() % 16);
    int count = 2 + static_cast<int>(random() % 30);
    std::bernoulli_distribution holds((round % 3 + 1) * 0.25);
    Strings strings(static_cast<std::size_t>(count));
    for (std::vector<int>& string : strings) {
      for (int e = 0; e < edges; ++e) {
        if (holds(random)) string.push_back(e);
      }
    }
    for (int minSup : {1, 2, 3}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   describe(strings));
      std::vector<LiteralPattern> all = literalClosedPatterns(strings, edges, count, minSup);
      std::vector<LiteralPattern> expected = maximalOf(all);
      kept += static_cast<int>(expected.size());
      dropped += static_cast<int>(all.size() - expected.size());
      for (FramePolicy policy :
           {FramePolicy::kHorizontal, FramePolicy::kVertical, FramePolicy::kCheapest}) {
        CollectingSink sink;
        SearchOptions options{policy, nullptr};
        options.conditions = &maximal;
        ASSERT_EQ(searchClosed(databaseOf(strings, edges, count), minSup, sink, options),
                  SearchOutcome::kComplete);
        ASSERT_EQ(sink.patterns, expected) << "policy " << static_cast<int>(policy);
      }
    }
  }
  EXPECT_GT(kept, 500);
  EXPECT_GT(dropped, 500);  // the condition takes patterns away
}

TEST(SearchFormsTest, CountsGivenUpOnLargeRowSetsGiveTheSamePatterns) {
  // Thousands of strings: the row sets of the vertical frames span many
  // blocks of words, and most later candidates fall below min_sup part
  // way through their count; packed anew, they fill 3 to 27 words.
  std::mt19937 random(20261209);
  for (double chance : {0.5, 0.7}) {
    std::bernoulli_distribution holds(chance);
    Strings strings(5000);
    for (auto& string : strings) {
      for (int e = 0; e < 10; ++e) {
        if (holds(random)) string.push_back(e);
      }
    }
    for (int minSup : {150, 600, 1250, 1700}) {
      SCOPED_TRACE("chance " + std::to_string(chance) + ", min_sup " + std::to_string(minSup));
      std::vector<LiteralPattern> expected = literalClosedPatterns(strings, 10, 5000, minSup);
      ASSERT_GE(expected.size(), 10u);  // not trivially empty
      for (FramePolicy policy : {FramePolicy::kVertical, FramePolicy::kCheapest}) {
        for (bool vectorRows : {true, false}) {
          EXPECT_EQ(mine(strings, 10, 5000, minSup, policy, vectorRows), expected)
              << "policy " << static_cast<int>(policy) << ", vector rows " << vectorRows;
        }
      }
    }
  }
}

TEST(SearchFormsTest, ASinkThatStopsGetsThePatternsBeforeTheStop) {
  Strings strings{{0, 1, 2, 3}, {0, 3}, {0, 1, 2}, {1}, {0, 1, 3}, {2, 3}};
  std::vector<LiteralPattern> all = literalClosedPatterns(strings, 4, 6, 1);
  ASSERT_GT(all.size(), 4u);
  for (FramePolicy policy : {FramePolicy::kHorizontal, FramePolicy::kVertical}) {
    CollectingSink sink(3);
    EXPECT_EQ(searchClosed(databaseOf(strings, 4, 6), 1, sink, {policy, nullptr}),
              SearchOutcome::kStopped);
    EXPECT_EQ(sink.patterns, std::vector<LiteralPattern>(all.begin(), all.begin() + 3));
  }
}

// Checks that the search's calls nest: a step at depth d begins with the
// d steps above it open, and ends as the deepest open one.
class NestingObserver : public SearchObserver, public CollectingSink {
 public:
  void cursorOpens(int depth) override {
    EXPECT_EQ(depth, open_);
    ++cursors;
  }
  void stepBegins(int depth) override {
    EXPECT_EQ(depth, open_);
    ++open_;
    ++steps;
    deepest = std::max(deepest, depth);
  }
  void stepEnds(int depth) override {
    EXPECT_EQ(depth, open_ - 1);
    --open_;
    ++ends;
  }
  bool take(const int* edges, int length, int support) override {
    EXPECT_TRUE(open_ > 0 || patterns.empty()) << "only the top pattern comes outside a step";
    return CollectingSink::take(edges, length, support);
  }
  int open() const { return open_; }
  int steps = 0;
  int ends = 0;
  int cursors = 0;
  int deepest = -1;

 private:
  int open_ = 0;
};

TEST(SearchFormsTest, AnObserverSeesEveryStepNestedAndChangesNothing) {
  // String k holds edges 0 .. k of 6: edge 0 is the top pattern; the frame
  // at depth d has 5 - d candidates, of which the first extends the chain
  // and the others are absorbed by it. 5 + 4 + 3 + 2 + 1 steps.
  Strings strings;
  std::vector<int> chain;
  for (int k = 0; k < 6; ++k) {
    chain.push_back(k);
    strings.push_back(chain);
  }
  for (FramePolicy policy : {FramePolicy::kHorizontal, FramePolicy::kVertical}) {
    NestingObserver observer;
    SearchOptions options;
    options.policy = policy;
    options.observer = &observer;
    EXPECT_EQ(searchClosed(databaseOf(strings, 6, 6), 1, observer, options),
              SearchOutcome::kComplete);
    EXPECT_EQ(observer.patterns, mine(strings, 6, 6, 1, policy));
    EXPECT_EQ(observer.patterns.size(), 6u);
    EXPECT_EQ(observer.steps, 15);
    EXPECT_EQ(observer.ends, 15);
    EXPECT_EQ(observer.open(), 0);
    EXPECT_EQ(observer.cursors, 5);  // the top frame's and four child frames'
    EXPECT_EQ(observer.deepest, 4);
  }
}

struct DeepSearch {
  FramePolicy policy;
  SearchOutcome outcome;
  std::vector<LiteralPattern> patterns;
};

void* runDeepSearch(void* argument) {
  auto* search = static_cast<DeepSearch*>(argument);
  // String k holds the edges 0 .. k: every prefix of the chain is closed.
  const int n = 1000;
  Strings strings;
  std::vector<int> chain;
  for (int k = 0; k < n; ++k) {
    chain.push_back(k);
    strings.push_back(chain);
  }
  CollectingSink sink;
  search->outcome = searchClosed(databaseOf(strings, n, n), 1, sink, {search->policy, nullptr});
  search->patterns = std::move(sink.patterns);
  return nullptr;
}

TEST(SearchFormsTest, DeepSearchNeedsNoDeepStack) {
  // 1000 nested levels on a 128 KB thread stack: a level of recursion per
  // pattern would not fit.
  for (FramePolicy policy : {FramePolicy::kHorizontal, FramePolicy::kVertical}) {
    DeepSearch search{policy, SearchOutcome::kOutOfMemory, {}};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attributes, runDeepSearch, &search), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_EQ(search.outcome, SearchOutcome::kComplete);
    ASSERT_EQ(search.patterns.size(), 1000u);
    EXPECT_EQ(search.patterns[0], (LiteralPattern{{0}, 1000}));
    EXPECT_EQ(search.patterns[999].support, 1);
    EXPECT_EQ(search.patterns[999].edges.size(), 1000u);
  }
}

}  // namespace
}  // namespace tavrel::testing
