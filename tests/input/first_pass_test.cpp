// The first pass: the item table, the frequent items and every report of a
// defective database line.
#include "input/first_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::runInProcess;
using testing::ScratchDir;

// Runs a first pass over `db` with the given sizes in `pass`.
int firstPass(testing::PassRun& pass, const ScratchDir& dir, const std::string& db, int items,
              int maxLength, int strings, int support) {
  if (!pass.open(dir.writeDatabase(db, items, maxLength, strings), support)) return -1;
  return countItems(pass.run, *pass.feed);
}

std::vector<int> occurrences(const RunState& run) {
  std::vector<int> result;
  for (const ItemInfo& item : run.itemTable) result.push_back(item.occurrences);
  return result;
}

TEST(FirstPassTest, CountsItemsAndNumbersTheFrequentOnesInItemOrder) {
  ScratchDir dir;
  testing::PassRun pass;
  ASSERT_EQ(firstPass(pass, dir, "3 5 0 1 \n2 5 1\n", 6, 4, 10, 2), 0);
  const RunState& run = pass.run;
  EXPECT_EQ(occurrences(run), (std::vector<int>{1, 2, 0, 0, 0, 2}));
  EXPECT_EQ(run.frequentItemCount, 2);
  EXPECT_EQ(std::vector<int>(run.frequentItems.begin(), run.frequentItems.end()),
            (std::vector<int>{1, 5}));
  for (int item = 0; item < 6; ++item) {
    bool frequent = item == 1 || item == 5;
    EXPECT_EQ(run.itemTable[item].frequent, frequent ? 1 : 0) << item;
    EXPECT_EQ(run.itemTable[item].frequentIndex, item == 1 ? 0 : item == 5 ? 1 : -1) << item;
  }
}

TEST(FirstPassTest, ReadsOnlyStringCountLinesAndSkipsWhatATabJoins) {
  ScratchDir dir;
  testing::PassRun pass;
  // Line 1: "2\t9" is the count 2; 9 is skipped with it. Line 3 is not read.
  ASSERT_EQ(firstPass(pass, dir, "2\t9 3 4\n1 3\n1 0\n", 10, 3, 2, 1), 0);
  EXPECT_EQ(occurrences(pass.run), (std::vector<int>{0, 0, 0, 2, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(pass.run.frequentItemCount, 2);
}

TEST(FirstPassTest, NoFrequentItemIsNotAnError) {
  ScratchDir dir;
  testing::PassRun rare;
  ASSERT_EQ(firstPass(rare, dir, "2 0 1\n", 3, 2, 1, 2), 0);
  EXPECT_EQ(rare.run.frequentItemCount, 0);
  testing::PassRun empty;
  ASSERT_EQ(firstPass(empty, dir, "", 3, 2, 5, 1), 0);  // an empty database
  EXPECT_EQ(empty.run.frequentItemCount, 0);
}

TEST(FirstPassTest, ReadsLongLinesWhole) {
  ScratchDir dir;
  std::string line = "2000";
  for (int item = 0; item < 2000; ++item) line += " " + std::to_string(item);
  ASSERT_GT(line.size(), 4096u);
  line += "\n1 1999\r\n";
  testing::PassRun pass;
  ASSERT_EQ(firstPass(pass, dir, line, 2000, 2000, 2, 2), 0);
  EXPECT_EQ(pass.run.frequentItemCount, 1);  // only 1999 is in both strings
  EXPECT_EQ(pass.run.frequentItems[0], 1999);
}

// Runs the whole program on a database and expects the report of line `row`.
void expectDefect(const std::string& db, const std::string& expected, int maxLength = 3) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase(db, 10, maxLength, 100);
  testing::RunResult result = runInProcess({spec, "1"});
  EXPECT_EQ(result.status, -1) << db;
  EXPECT_EQ(result.out, expected) << db;
}

TEST(FirstPassTest, DefectiveLinesAreReportedWithTheLineAsRead) {
  // Counts: empty line, no digit, zero, negative, above maxItemLength.
  expectDefect("1 1\n1 2\n\n1 3\n", "row #3: error number of items\n\n");
  expectDefect("x 1\n", "row #1: error number of items\nx 1\n");
  expectDefect("0\n", "row #1: error number of items\n0\n");
  expectDefect("-1 4\n", "row #1: error number of items\n-1 4\n");
  expectDefect("1 1\n4 1 2 3 4\n", "row #2: error number of items\n4 1 2 3 4\n");
  // Items: missing (also behind trailing blanks), no digit, negative.
  expectDefect("3 1 2\n", "row #1: error number of items\n3 1 2\n");
  expectDefect("3 1 2   \r\n", "row #1: error number of items\n3 1 2   \r\n");
  expectDefect("2 1 x\n", "row #1: error number of items\n2 1 x\n");
  expectDefect("2 1 -5\n", "row #1: error number of items\n2 1 -5\n");
  // Out of range and repeated, and the order of the checks along the line.
  expectDefect("2 1 10\n", "row #1: error item out of range\n2 1 10\n");
  expectDefect("2 1 99999999999999\n", "row #1: error item out of range\n2 1 99999999999999\n");
  expectDefect("3 4 7 4\n", "row #1: error repeated item\n3 4 7 4\n");
  expectDefect("3 4 4 10\n", "row #1: error repeated item\n3 4 4 10\n");
  expectDefect("3 4 10 4\n", "row #1: error item out of range\n3 4 10 4\n");
  // A last line without a line end is echoed without one.
  expectDefect("1 1\n2 3", "row #2: error number of items\n2 3");
  // Digits followed by other characters are taken as their number.
  expectDefect("2 5abc 5\n", "row #1: error repeated item\n2 5abc 5\n");
}

TEST(FirstPassTest, DatabaseThatCannotBeOpened) {
  ScratchDir dir;
  std::string missing = dir.path() + "/missing.db";
  std::string spec = dir.write("s.spec", missing + "\n5\n5\n5\n");
  testing::RunResult result = runInProcess({spec, "1"});
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, "Error: cannot open file " + missing + " with mode r\n");

  spec = dir.write("d.spec", dir.path() + "\n5\n5\n5\n");
  result = runInProcess({spec, "1"});
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, "Error: cannot open file " + dir.path() + " with mode r\n");
}

}  // namespace
}  // namespace tavrel
