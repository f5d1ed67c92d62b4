#include "search/run_patterns.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "formats/miner_output.h"
#include "search/literal_search.h"
#include "support/test_support.h"

namespace tavrel::testing {

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

std::vector<OrderedPattern> literalOrder(const std::vector<std::vector<int>>& strings,
                                         const BruteForceResult& expected, int stringCount,
                                         int minSup) {
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
  std::vector<OrderedPattern> order;
  for (const LiteralPattern& pattern :
       literalClosedPatterns(transactions, static_cast<int>(edges.size()), stringCount, minSup)) {
    std::vector<Edge> asEdges;
    for (int e : pattern.edges) asEdges.push_back(edges[e]);
    order.emplace_back(asEdges, pattern.support);
  }
  return order;
}

std::string outputText(const std::vector<OrderedPattern>& patterns) {
  std::string blocks;
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    std::vector<tavrel::Edge> edges;
    for (const Edge& edge : patterns[k].first) edges.push_back({edge.first, edge.second});
    std::string room(formats::patternBlockBound(edges.size()), '\0');
    char* end = formats::writePatternBlock(room.data(), k + 1, {patterns[k].second, edges});
    blocks.append(room.data(), end);
  }
  return completeRunOutput(blocks, static_cast<int>(patterns.size()));
}

}  // namespace tavrel::testing
