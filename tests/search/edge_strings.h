// Edge transactions for the search tests: strings of ascending edgeIds made
// into a database, a sink that collects what it is given, and random
// strings. Shared by the tests of the search and of the parallel search.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "search/closed_search.h"
#include "search/literal_search.h"
#include "transactions/edge_database.h"

namespace tavrel::testing {

using Strings = std::vector<std::vector<int>>;

// Keeps the patterns it takes; asks to stop once it has `limit` of them.
class CollectingSink : public ClosedSetSink {
 public:
  explicit CollectingSink(std::size_t limit = static_cast<std::size_t>(-1)) : limit_(limit) {}
  bool take(const int* edges, int length, int support) override {
    patterns.push_back({std::vector<int>(edges, edges + length), support});
    return patterns.size() < limit_;
  }
  std::vector<LiteralPattern> patterns;

 private:
  std::size_t limit_;
};

// The database of `strings`, each an edge transaction below edgeCount.
inline EdgeDatabase databaseOf(const Strings& strings, int edgeCount, int rootSupport) {
  EdgeDatabaseBuilder builder;
  EXPECT_TRUE(builder.start(edgeCount, rootSupport));
  for (const auto& string : strings) {
    std::vector<std::uint32_t> transaction(string.begin(), string.end());
    EXPECT_TRUE(builder.add(transaction.data(), transaction.size()));
  }
  return builder.finish();
}

// The strings as text, one a line, for test failures.
inline std::string describe(const Strings& strings) {
  std::string text;
  for (const auto& string : strings) {
    for (int edge : string) text += std::to_string(edge) + " ";
    text += "\n";
  }
  return text;
}

// `count` random strings over `edges` edges, each holding each edge with a
// chance that grows with the round: 0.3, 0.6, 0.9, 0.3, ...
inline Strings randomStrings(std::mt19937& random, int edges, int count, int round) {
  std::bernoulli_distribution holds((round % 3 + 1) * 0.3);
  Strings strings;
  for (int s = 0; s < count; ++s) {
    std::vector<int> string;
    for (int e = 0; e < edges; ++e) {
      if (holds(random)) string.push_back(e);
    }
    strings.push_back(string);
  }
  return strings;
}

}  // namespace tavrel::testing
