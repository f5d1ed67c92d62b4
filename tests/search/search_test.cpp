// Whole runs of the miner on hand-checked databases, compared byte for byte
// (the run-time figure aside).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::completeRunOutput;
using testing::normalizeRuntime;
using testing::ScratchDir;

// Runs the miner on `db` and checks the complete output.
void expectRun(const std::string& db, int items, int maxLength, int strings, int support,
               const std::string& patternBlocks, int patterns) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase(db, items, maxLength, strings);
  testing::RunResult result = testing::runInProcess({spec, std::to_string(support)});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(normalizeRuntime(result.out), completeRunOutput(patternBlocks, patterns));
}

TEST(SearchTest, TheFourStringExample) {
  expectRun("4 1 2 3 4\n3 1 3 4\n3 1 2 4\n2 2 4\n", 6, 4, 4, 2,
            "Pattern 1 Support = 3: \n1-4\t\n\n"
            "Pattern 2 Support = 2: \n1-4\t2-4\t1-2\t\n\n"
            "Pattern 3 Support = 2: \n1-4\t1-3\t3-4\t\n\n"
            "Pattern 4 Support = 3: \n2-4\t\n\n",
            4);
  // The example file that ships with the program is the same database.
  testing::ChildOptions inExamples;
  inExamples.workingDir = TAVREL_SOURCE_DIR "/examples";
  testing::RunResult shipped = testing::runChild({"overview.spec", "2"}, inExamples);
  EXPECT_EQ(shipped.status, 0);
  EXPECT_EQ(normalizeRuntime(shipped.out),
            completeRunOutput("Pattern 1 Support = 3: \n1-4\t\n\n"
                              "Pattern 2 Support = 2: \n1-4\t2-4\t1-2\t\n\n"
                              "Pattern 3 Support = 2: \n1-4\t1-3\t3-4\t\n\n"
                              "Pattern 4 Support = 3: \n2-4\t\n\n",
                              4));
}

TEST(SearchTest, EdgesInEveryStringFormTheFirstPattern) {
  // 0-1 is in all three strings; 0-2 always has 1 between it and is no edge.
  expectRun("3 0 1 2\n3 0 1 2\n2 0 1\n", 3, 3, 3, 2,
            "Pattern 1 Support = 3: \n0-1\t\n\n"
            "Pattern 2 Support = 2: \n0-1\t1-2\t\n\n",
            2);
  // Two edges held by every string are one pattern; item 0 stands first.
  expectRun("3 0 5 2\n3 0 5 2\n3 5 0 2\n", 6, 3, 3, 3, "Pattern 1 Support = 3: \n0-2\t5-2\t\n\n",
            1);
}

TEST(SearchTest, NothingToFind) {
  expectRun("1 0\n1 1\n", 2, 1, 2, 2, "", 0);            // no frequent item
  expectRun("1 0\n1 1\n1 0\n1 1\n", 2, 1, 4, 2, "", 0);  // frequent items, no edge
  expectRun("2 0 1\n2 1 0\n", 2, 2, 2, 2, "", 0);        // each order once
}

TEST(SearchTest, DatabaseShorterThanItsStringCount) {
  // stringCount 5 but only 3 lines: no edge has the support of the empty
  // pattern, yet the closed patterns of the lines read are all found.
  expectRun("3 0 1 2\n3 0 1 2\n2 0 1\n", 3, 3, 5, 2,
            "Pattern 1 Support = 3: \n0-1\t\n\n"
            "Pattern 2 Support = 2: \n0-1\t1-2\t\n\n",
            2);
  expectRun("2 4 7\n", 8, 2, 1000, 1, "Pattern 1 Support = 1: \n4-7\t\n\n", 1);
}

TEST(SearchTest, NestedChainsGoDeep) {
  // String k is the chain 0, 1, ..., k. Only neighbours form edges, and
  // every prefix of the chain is a closed pattern of its own support.
  const int n = 60;
  std::string db;
  for (int k = 1; k <= n; ++k) {
    db += std::to_string(k + 1);
    for (int item = 0; item <= k; ++item) db += " " + std::to_string(item);
    db += "\n";
  }
  std::string blocks;
  std::string edges;
  for (int k = 1; k <= n; ++k) {
    edges += std::to_string(k - 1) + "-" + std::to_string(k) + "\t";
    blocks += "Pattern " + std::to_string(k) + " Support = " + std::to_string(n - k + 1) + ": \n" +
              edges + "\n\n";
  }
  expectRun(db, n + 1, n + 1, n, 1, blocks, n);
}

}  // namespace
}  // namespace tavrel
