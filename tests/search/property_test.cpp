// The miner against the brute-force enumerator on a few hundred seeded
// random databases of different shapes and several minimum supports.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "formats/miner_output.h"
#include "formats/string_database.h"
#include "search/brute_force.h"
#include "search/literal_search.h"
#include "search/random_databases.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

using Strings = std::vector<std::vector<int>>;

// Reads a complete run's output into its patterns, each with its edges in
// the order written. The output's reader checks the framing: consecutive
// numbers, the edge lines, no edge twice, the final count.
std::vector<ClosedPattern> parsePatterns(const std::string& output,
                                         std::vector<std::vector<Edge>>* edgeOrder) {
  std::vector<ClosedPattern> patterns;
  formats::MinerOutputReader reader;
  reader.lines = LineInput::overText(output);
  reader.name = "output";
  formats::OutputPattern pattern;
  int status;
  while ((status = formats::nextPattern(&reader, &pattern)) > 0) {
    ClosedPattern closed{{}, pattern.support};
    std::vector<Edge> order;
    for (const formats::OutputEdge& edge : pattern.edges) {
      closed.edges.insert({edge.from, edge.to});
      order.push_back({edge.from, edge.to});
    }
    patterns.push_back(closed);
    edgeOrder->push_back(order);
  }
  EXPECT_EQ(status, 0) << reader.failure.message();
  EXPECT_TRUE(reader.complete);
  EXPECT_EQ(normalizeRuntime("Total Runtime: " + reader.runtime + " sec.\n"),
            "Total Runtime: <t> sec.\n");
  return patterns;
}

// The patterns of the literal search over the strings' edge transactions,
// as edge lists in edge order, with their supports: the miner's output
// must hold exactly these, in this order. Edges are numbered by
// descending support, ties by ascending pairCode (items below 10).
std::vector<std::pair<std::vector<Edge>, int>> literalOrder(const Strings& strings,
                                                            const BruteForceResult& expected,
                                                            int stringCount, int minSup) {
  std::vector<Edge> edges;
  for (const auto& [edge, support] : expected.edgeSupport) edges.push_back(edge);
  std::sort(edges.begin(), edges.end(), [&expected](const Edge& a, const Edge& b) {
    int sa = expected.edgeSupport.at(a);
    int sb = expected.edgeSupport.at(b);
    return sa != sb ? sa > sb : a < b;
  });
  std::vector<std::vector<int>> transactions;
  for (const auto& string : strings) {
    std::vector<int> position(10, -1);
    for (std::size_t k = 0; k < string.size(); ++k) position[string[k]] = static_cast<int>(k);
    std::vector<int> transaction;
    for (std::size_t e = 0; e < edges.size(); ++e) {
      int from = position[edges[e].first];
      int to = position[edges[e].second];
      if (from >= 0 && to >= 0 && from < to) transaction.push_back(static_cast<int>(e));
    }
    transactions.push_back(transaction);
  }
  std::vector<std::pair<std::vector<Edge>, int>> order;
  for (const LiteralPattern& pattern :
       literalClosedPatterns(transactions, static_cast<int>(edges.size()), stringCount, minSup)) {
    std::vector<Edge> asEdges;
    for (int e : pattern.edges) asEdges.push_back(edges[e]);
    order.emplace_back(asEdges, pattern.support);
  }
  return order;
}

TEST(PropertyTest, MinerAgreesWithBruteForce) {
  std::mt19937 random(20261208);
  int checked = 0;
  int patternsSeen = 0;
  for (int round = 0; round < 320; ++round) {
    int shape = round % 4;
    Strings strings = randomDatabase(shape, random);
    int longest = 0;
    for (const auto& string : strings) longest = std::max(longest, static_cast<int>(string.size()));
    ScratchDir dir;
    int stringCount = static_cast<int>(strings.size()) + (round % 5 == 0 ? 3 : 0);
    std::string spec = dir.writeDatabase(formats::databaseText(strings), 10, longest, stringCount);
    for (int minSup : {1, 2, 3, 5}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", min_sup " + std::to_string(minSup) + "\n" +
                   formats::databaseText(strings));
      RunResult run = runInProcess({"--threads", "1", spec, std::to_string(minSup)});
      ASSERT_EQ(run.status, 0);
      // The same bytes from 2, 3 and 8 threads.
      for (const char* threads : {"2", "3", "8"}) {
        RunResult parallel = runInProcess({"--threads", threads, spec, std::to_string(minSup)});
        ASSERT_EQ(parallel.status, 0);
        ASSERT_EQ(normalizeRuntime(parallel.out), normalizeRuntime(run.out)) << threads;
      }
      BruteForceResult expected = bruteForceClosedPatterns(strings, minSup);
      std::vector<std::vector<Edge>> edgeOrder;
      std::vector<ClosedPattern> got = parsePatterns(run.out, &edgeOrder);
      std::vector<ClosedPattern> sorted = got;
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
          << "a pattern written twice";
      ASSERT_EQ(sorted, expected.patterns);
      std::vector<std::pair<std::vector<Edge>, int>> inOrder;
      for (std::size_t k = 0; k < got.size(); ++k)
        inOrder.emplace_back(edgeOrder[k], got[k].support);
      ASSERT_EQ(inOrder, literalOrder(strings, expected, stringCount, minSup));
      // Within a pattern, edges stand by descending support, then by
      // ascending from item and to item.
      for (const auto& order : edgeOrder) {
        for (std::size_t k = 1; k < order.size(); ++k) {
          int previous = expected.edgeSupport.at(order[k - 1]);
          int current = expected.edgeSupport.at(order[k]);
          EXPECT_TRUE(previous > current || (previous == current && order[k - 1] < order[k]));
        }
      }
      ++checked;
      patternsSeen += static_cast<int>(got.size());
    }
  }
  EXPECT_EQ(checked, 1280);
  EXPECT_GT(patternsSeen, 2000);  // the databases are not trivially empty
}

}  // namespace
}  // namespace tavrel::testing
