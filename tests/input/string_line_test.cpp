// The line reader and the checked reader of database lines.
#include "input/string_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/run.h"
#include "input/input_file.h"
#include "state/global_state.h"
#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::ScratchDir;

std::vector<std::string> allLines(const std::string& path) {
  InputFile* file = openInputFile(path, "r");
  EXPECT_NE(file, nullptr);
  std::vector<std::string> lines;
  LineView line;
  int status;
  while ((status = readLine(file, &line)) > 0) lines.emplace_back(line.text, line.length);
  EXPECT_EQ(status, 0);
  closeInputFile(file);
  return lines;
}

TEST(InputFileTest, ReturnsWholeLinesWithTheirLineEnds) {
  ScratchDir dir;
  std::string longLine(300000, '7');  // longer than any read buffer
  std::string content = "a\n\n" + longLine + "\nlast";
  std::vector<std::string> lines = allLines(dir.write("f", content));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "a\n");
  EXPECT_EQ(lines[1], "\n");
  EXPECT_EQ(lines[2], longLine + "\n");
  EXPECT_EQ(lines[3], "last");
  EXPECT_TRUE(allLines(dir.write("empty", "")).empty());
}

TEST(InputFileTest, ManyLinesAcrossBufferBoundaries) {
  ScratchDir dir;
  std::string content;
  for (int k = 0; k < 50000; ++k) content += std::to_string(k) + " x\r\n";
  std::vector<std::string> lines = allLines(dir.write("f", content));
  ASSERT_EQ(lines.size(), 50000u);
  for (int k = 0; k < 50000; k += 997) EXPECT_EQ(lines[k], std::to_string(k) + " x\r\n");
}

TEST(StringReaderTest, ReadsAtMostStringCountCheckedStrings) {
  ScratchDir dir;
  std::string db = dir.write("db", "2 4 1\n 1 3 \n3 0 2 5\n1 1\n");
  resetState();
  stringDbFilename = db;
  totalItems = 6;
  maxItemLength = 3;
  stringCount = 3;
  StringReader reader;
  ASSERT_EQ(openStringReader(&reader), 0);
  std::vector<std::vector<int>> strings;
  int status;
  while ((status = nextString(&reader)) > 0) {
    strings.emplace_back(reader.items, reader.items + reader.itemCount);
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(reader.row, 3);
  closeStringReader(&reader);
  EXPECT_EQ(strings, (std::vector<std::vector<int>>{{4, 1}, {3}, {0, 2, 5}}));
}

}  // namespace
}  // namespace tavrel
