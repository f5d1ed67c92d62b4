// The miner against the brute-force enumerator on a few hundred seeded
// random databases of different shapes and several minimum supports.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "formats/string_database.h"
#include "search/brute_force.h"
#include "search/random_databases.h"
#include "search/run_patterns.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

using Strings = std::vector<std::vector<int>>;

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
