// Each format written by its writer and read back by its reader: the
// spec file, the string database, and the miner's output, whose reader
// must also take every cut-off beginning of what the writer wrote.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "formats/miner_output.h"
#include "formats/spec_file.h"
#include "formats/string_database.h"
#include "support/test_support.h"

namespace tavrel::formats {
namespace {

TEST(SpecFileRoundTripTest, WrittenValuesReadBack) {
  testing::ScratchDir dir;
  for (const SpecFile& written :
       {SpecFile{"my db.txt", 6, 4, 4}, SpecFile{" /a/b c", 1, INT_MAX, 1}}) {
    std::string path = dir.write("s.spec", specFileText(written));
    SpecFile read;
    ASSERT_TRUE(readSpecFile(path.c_str(), &read).ok()) << written.databaseName;
    EXPECT_EQ(read.databaseName, written.databaseName);
    EXPECT_EQ(read.totalItems, written.totalItems);
    EXPECT_EQ(read.maxItemLength, written.maxItemLength);
    EXPECT_EQ(read.stringCount, written.stringCount);
  }
  // Values the reader refuses are written as given, for tests of the refusal.
  EXPECT_EQ(specFileText({"db", 0, -2, 2147483648LL}), "db\n0\n-2\n2147483648\n");
}

TEST(StringDatabaseRoundTripTest, WrittenStringsParseBackUnchanged) {
  const std::vector<std::vector<int>> strings{{4, 0, 17}, {99999}, {3, 99998, 0, 1, 2}};
  std::string text = databaseText(strings);
  EXPECT_EQ(text.substr(0, 9), "3 4 0 17\n");
  std::vector<int> seenInRow(100000, 0);
  StringRules rules{100000, 5, seenInRow.data()};
  std::vector<int> items(5);
  std::vector<std::vector<int>> read;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start) + 1;
    int row = static_cast<int>(read.size()) + 1;
    int count = 0;
    ASSERT_EQ(parseStringLine({text.data() + start, end - start}, row, rules, items.data(), &count),
              kLineOk)
        << "row " << row;
    read.emplace_back(items.begin(), items.begin() + count);
    start = end;
  }
  EXPECT_EQ(read, strings);
}

TEST(MinerOutputRoundTripTest, ReadsBackWhatWasWrittenAndEveryCutOffBeginning) {
  const std::vector<std::vector<Edge>> edgeLists{
      {{1, 4}}, {{1, 4}, {2, 4}, {1, 2}}, {{INT_MAX, 0}}, {{7, 3}, {3, 12}}};
  const int supports[] = {3, 2, 1, 40};
  std::string text(kOpeningLine);
  std::vector<std::size_t> edgeLineEnds;  // the length that holds each whole edge line
  for (std::size_t k = 0; k < edgeLists.size(); ++k) {
    std::vector<char> room(patternBlockBound(edgeLists[k].size()));
    text.append(room.data(), writePatternBlock(room.data(), k + 1, {supports[k], edgeLists[k]}));
    edgeLineEnds.push_back(text.size() - 1);  // the block ends with the edge line's '\n' and "\n"
  }
  std::size_t runtimeStart = text.size();
  text += closingLines(1234567000, 4);
  std::size_t runtimeEnd = text.find('\n', runtimeStart) + 1;
  std::size_t countEnd = text.find('\n', runtimeEnd) + 1;

  for (std::size_t cut = 1; cut <= text.size(); ++cut) {
    SCOPED_TRACE("the first " + std::to_string(cut) + " bytes");
    MinerOutputReader reader;
    reader.lines = LineInput::overText(text.substr(0, cut));
    reader.name = "out";
    std::vector<OutputPattern> read;
    OutputPattern pattern;
    int status;
    while ((status = nextPattern(&reader, &pattern)) > 0) read.push_back(pattern);
    ASSERT_EQ(status, 0) << reader.failure.message();
    std::size_t whole = 0;
    while (whole < edgeLineEnds.size() && edgeLineEnds[whole] <= cut) ++whole;
    ASSERT_EQ(read.size(), whole);
    for (std::size_t k = 0; k < whole; ++k) {
      EXPECT_EQ(read[k].number, static_cast<int>(k) + 1);
      EXPECT_EQ(read[k].support, supports[k]);
      ASSERT_EQ(read[k].edges.size(), edgeLists[k].size());
      for (std::size_t e = 0; e < edgeLists[k].size(); ++e) {
        EXPECT_EQ(read[k].edges[e].from, edgeLists[k][e].before);
        EXPECT_EQ(read[k].edges[e].to, edgeLists[k][e].after);
      }
    }
    EXPECT_EQ(reader.runtime, cut >= runtimeEnd ? "1.23457e+06" : "");
    EXPECT_EQ(reader.patternCount, cut >= countEnd ? 4 : -1);
    // Only the last line end may be missing from a complete output.
    EXPECT_EQ(reader.complete, cut >= text.size() - 1);
  }
}

}  // namespace
}  // namespace tavrel::formats
