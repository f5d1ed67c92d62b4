// The one line reader, under the miner's messages and under the trimmed
// lines that the output reader and the companion programs take.
#include "base/line_input.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/input_file.h"
#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::ScratchDir;

std::vector<std::string> allLines(const std::string& path) {
  InputFile file;
  Report report;
  EXPECT_TRUE(file.open(path, "r", false, report));
  std::vector<std::string> lines;
  LineView line;
  int status;
  while ((status = file.readLine(&line, report)) > 0) lines.emplace_back(line.text, line.length);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(report.empty());
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

TEST(LineInputTest, TrimmedLinesAcrossChunksAndAnUnterminatedLastLine) {
  ScratchDir dir;
  std::string longLine(200000, 'x');
  std::string content = "a\r\n" + longLine + "\n\nlast\r";
  LineInput fromFile;
  Result opened = fromFile.openOrStandardInput(dir.write("lines", content));
  ASSERT_TRUE(opened.ok()) << opened.message();
  std::vector<std::pair<std::string, bool>> lines;
  std::string_view trimmed;
  bool terminated = false;
  while (fromFile.readTrimmed(&trimmed, &terminated) > 0) lines.emplace_back(trimmed, terminated);
  EXPECT_EQ(lines, (std::vector<std::pair<std::string, bool>>{
                       {"a", true}, {longLine, true}, {"", true}, {"last", false}}));
  EXPECT_EQ(fromFile.lineNumber(), 4);
  // Text in memory reads as the same file would.
  LineInput inMemory = LineInput::overText(content);
  LineView line;
  std::string again;
  while (inMemory.readLine(&line) > 0) again.append(line.text, line.length);
  EXPECT_EQ(again, content);
}

TEST(LineInputTest, WhatCannotBeReadSaysWhyAndTheMinerSaysItsOwnWay) {
  ScratchDir dir;
  std::string missing = dir.path() + "/missing";
  LineInput input;
  EXPECT_EQ(input.openOrStandardInput(missing).message(),
            "cannot open " + missing + ": No such file or directory");
  EXPECT_EQ(input.openOrStandardInput(dir.path()).message(),
            "cannot read " + dir.path() + ": Is a directory");
  InputFile file;
  Report report;
  EXPECT_FALSE(file.open(dir.path(), "r", false, report));
  EXPECT_EQ(report.toStatus().message(),
            "Error: cannot open file " + dir.path() + " with mode r\n");
}

}  // namespace
}  // namespace tavrel
