// The way a user goes, from the example event log through tavrel-prep and
// Tavrel.exe to tavrel-show's table, summary and pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/tools_test_support.h"

namespace tavrel::testing {
namespace {

TEST(PipelineTest, EventLogToPatternTablesAndPictures) {
  ScratchDir dir;
  RunResult prep =
      runPrepTool({"--format", "csv", "--case", "order_id", "--activity", "activity", "--time",
                   "timestamp", std::string(TAVREL_SOURCE_DIR) + "/examples/orders.csv", "out"},
                  dir.path());
  ASSERT_EQ(prep.status, 0) << prep.err;
  EXPECT_EQ(prep.err, readData("pipeline/prep.stderr"));
  std::string out = dir.path() + "/out";
  EXPECT_EQ(readFile(out + "/orders.items.tsv"), readData("pipeline/orders.items.tsv"));

  // The spec file names the database by its bare name: the miner runs in out/.
  ChildOptions inOut;
  inOut.workingDir = out;
  inOut.stdoutPath = out + "/patterns.txt";
  RunResult mined = runChild({"orders.spec", "20"}, inOut);
  ASSERT_EQ(mined.status, 0) << mined.out;
  EXPECT_EQ(normalizeRuntime(mined.out), readData("pipeline/patterns.txt"));

  inOut.stdoutPath.clear();
  RunResult table =
      runShowTool({"--format", "csv", "--items", "orders.items.tsv", "patterns.txt"}, inOut);
  EXPECT_EQ(table.status, 0) << table.err;
  EXPECT_EQ(table.out, readData("pipeline/patterns.csv"));
  RunResult summary = runShowTool({"--items", "orders.items.tsv", "patterns.txt"}, inOut);
  EXPECT_EQ(summary.out, readData("pipeline/summary.txt"));
  RunResult pictures = runShowTool(
      {"--format", "dot", "--items", "orders.items.tsv", "--top", "2", "patterns.txt"}, inOut);
  EXPECT_EQ(pictures.status, 0) << pictures.err;
  EXPECT_EQ(pictures.out, readData("pipeline/top2.dot"));  // drawn by Graphviz in show_test
}

}  // namespace
}  // namespace tavrel::testing
