// The strings behind patterns: tavrel-prep's case table, and tavrel-show
// --strings against a brute-force string set on random databases, and its
// refusal of a database that is not the output's.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/case_table.h"
#include "common/item_table.h"
#include "formats/string_database.h"
#include "search/brute_force.h"
#include "search/random_databases.h"
#include "show/pattern_strings.h"
#include "tools/tools_test_support.h"

namespace tavrel::testing {
namespace {

// The lines (from 1) of the strings that hold every edge of `edges`.
std::vector<int> holdingLines(const std::vector<std::vector<int>>& strings, const EdgeSet& edges) {
  std::vector<int> lines;
  for (std::size_t s = 0; s < strings.size(); ++s) {
    auto at = [&](int item) {
      for (std::size_t k = 0; k < strings[s].size(); ++k) {
        if (strings[s][k] == item) return static_cast<int>(k);
      }
      return -1;
    };
    bool holds = true;
    for (const Edge& edge : edges) {
      int a = at(edge.first), b = at(edge.second);
      holds = holds && a >= 0 && b >= 0 && a < b;
    }
    if (holds) lines.push_back(static_cast<int>(s) + 1);
  }
  return lines;
}

std::string joined(const std::vector<int>& lines) {
  std::string text;
  for (int line : lines) text += (text.empty() ? "" : "; ") + std::to_string(line);
  return text;
}

// Every pattern of the brute force over random databases, looked up in one
// batch by the module and through the program's CSV column.
TEST(StringsTest, StringSetsEqualTheBruteForce) {
  std::mt19937 random(32);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::vector<int>> strings = randomDatabase(round % 4, random);
    int minSup = 1 + round % 2;
    BruteForceResult expected = bruteForceClosedPatterns(strings, minSup);
    ScratchDir dir;
    std::string spec =
        dir.writeDatabase(formats::databaseText(strings), 10, 10, static_cast<int>(strings.size()));
    std::string output = " \n";
    std::vector<tools::Pattern> patterns;
    for (const ClosedPattern& closed : expected.patterns) {
      tools::Pattern& pattern = patterns.emplace_back();
      pattern.number = static_cast<std::int64_t>(patterns.size());
      pattern.support = closed.support;
      output += "Pattern " + std::to_string(pattern.number) +
                " Support = " + std::to_string(closed.support) + ": \n";
      for (const Edge& edge : closed.edges) {
        pattern.edges.push_back({edge.first, edge.second});
        output += std::to_string(edge.first) + "-" + std::to_string(edge.second) + "\t";
      }
      output += "\n\n";
    }
    output +=
        "Total Runtime: 0 sec.\nTotal Number of patterns: " + std::to_string(patterns.size()) +
        "\n***********************************************\n";
    tools::StringsSource source;
    Result opened = tools::openStringsSource(spec, &source);
    ASSERT_TRUE(opened.ok()) << opened.message();
    std::vector<std::vector<int>> found;
    Result looked = tools::findStrings(source, patterns, &found);
    ASSERT_TRUE(looked.ok()) << looked.message();
    ChildOptions options;
    options.workingDir = dir.path();
    dir.write("patterns.txt", output);
    RunResult csv = runShowTool({"--format", "csv", "--strings", spec, "patterns.txt"}, options);
    ASSERT_EQ(csv.status, 0) << csv.err;
    std::string wanted = "pattern,support,size,edges,strings\n";
    for (std::size_t k = 0; k < patterns.size(); ++k) {
      std::vector<int> lines = holdingLines(strings, expected.patterns[k].edges);
      std::vector<int> fromZero;
      for (int line : lines) fromZero.push_back(line - 1);
      EXPECT_EQ(found[k], fromZero) << k;
      std::string edges;
      for (const tools::Edge& edge : patterns[k].edges) {
        edges += (edges.empty() ? "" : "; ") + std::to_string(edge.from) + "->" +
                 std::to_string(edge.to);
      }
      wanted += std::to_string(k + 1) + "," + std::to_string(patterns[k].support) + "," +
                std::to_string(patterns[k].edges.size()) + "," + edges + "," + joined(lines) + "\n";
    }
    EXPECT_EQ(csv.out, wanted);

    // The same strings many times over: several blocks of strings, and
    // blocks that end inside a machine word.
    int copies = 350 + round;
    std::vector<std::vector<int>> many;
    for (int c = 0; c < copies; ++c) many.insert(many.end(), strings.begin(), strings.end());
    std::string manySpec =
        dir.writeDatabase(formats::databaseText(many), 10, 10, static_cast<int>(many.size()));
    opened = tools::openStringsSource(manySpec, &source);
    ASSERT_TRUE(opened.ok()) << opened.message();
    for (tools::Pattern& pattern : patterns) pattern.support *= copies;
    looked = tools::findStrings(source, patterns, &found);
    ASSERT_TRUE(looked.ok()) << looked.message();
    for (std::size_t k = 0; k < patterns.size(); ++k) {
      std::vector<int> lines = holdingLines(many, expected.patterns[k].edges);
      ASSERT_EQ(found[k].size(), lines.size()) << k;
      for (std::size_t s = 0; s < lines.size(); ++s) EXPECT_EQ(found[k][s], lines[s] - 1) << k;
    }
  }
}

// A database that is not the output's is refused, each cause in words of
// its own, and the case table's ids name the strings of one that is.
TEST(StringsTest, MismatchedDatabasesAreRefused) {
  ScratchDir dir;
  std::string patterns = dir.write("patterns.txt",
                                   " \nPattern 1 Support = 2: \n0-2\t\n\n"
                                   "Total Runtime: 0 sec.\nTotal Number of patterns: 1\n"
                                   "***********************************************\n");
  dir.write("good.db", "3 0 1 2\n2 0 2\n2 2 0\n");
  dir.write("good.spec", "good.db\n3\n3\n3\n");
  dir.write("few.db", "3 0 1 2\n");
  dir.write("few.spec", "few.db\n3\n3\n1\n");
  dir.write("narrow.spec", "good.db\n2\n3\n3\n");
  ChildOptions options;
  options.workingDir = dir.path();
  RunResult good = runShowTool({"--format", "jsonl", "--strings", "good.spec", patterns}, options);
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.out,
            "{\"pattern\":1,\"support\":2,\"size\":1,\"edges\":[[0,2]],\"strings\":[1,2]}\n");
  RunResult html = runShowTool({"--format", "html", "--strings", "good.spec", patterns}, options);
  // The explorer's data: per pattern, its strings' count and first names.
  EXPECT_NE(html.out.find(",\"cases\":[[2,[\"1\",\"2\"]]]"), std::string::npos) << html.out;
  dir.write("good.cases.tsv",
            "# database fingerprint: strings=3 crc32=00000000\nline\tcase\n"
            "1\ta\n2\tb\n3\tc\n");
  struct Case {
    std::string spec;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {"narrow.spec",
            "tavrel-show: pattern 1 has item 2, but good.db has 2 items: another item count, not "
            "the database of this output\n"},
           {"few.spec",
            "tavrel-show: few.db has 1 strings, fewer than the support 2 of pattern 1: not the "
            "database of this output\n"},
           {"good.spec",
            "tavrel-show: good.db has a different fingerprint (database fingerprint: strings=3 "
            "crc32=a44d8d60) from the one good.cases.tsv was written for (database fingerprint: "
            "strings=3 "
            "crc32=00000000): not the database of this output\n"}}) {
    RunResult refused = runShowTool({"--format", "csv", "--strings", c.spec, patterns}, options);
    EXPECT_EQ(refused.status, 1) << c.spec;
    EXPECT_EQ(refused.out, "pattern,support,size,edges,strings\n");
    EXPECT_EQ(refused.err, c.err);
  }
  RunResult summary = runShowTool({"--strings", "good.spec", patterns}, options);
  EXPECT_EQ(summary.status, 2);
  EXPECT_EQ(summary.err,
            "tavrel-show: --strings applies to --format csv, jsonl and html only (see "
            "tavrel-show --help)\n");
}

// The case ids of a CSV event log come back from the case table as they
// stood in the log, a tab, a line end and a backslash included.
TEST(StringsTest, CaseTableRoundTripsTheCaseIdsOfAnEventLog) {
  ScratchDir dir;
  dir.write("log.csv",
            "case,activity\n\"t\tab\",x\n\"new\nline\",x\nplain,y\n\"t\tab\",y\n"
            "\"back\\\\slash\",x\n");
  ASSERT_EQ(
      runPrepTool({"--format", "csv", "--case", "case", "--activity", "activity", "log.csv", "out"},
                  dir.path())
          .status,
      0);
  tools::CaseTable cases;
  tools::ItemTable items;
  Result read = tools::readCaseTable(dir.path() + "/out/log.cases.tsv", &cases);
  ASSERT_TRUE(read.ok()) << read.message();
  read = tools::readItemTable(dir.path() + "/out/log.items.tsv", &items);
  ASSERT_TRUE(read.ok()) << read.message();
  EXPECT_EQ(cases.cases,
            (std::vector<std::string>{"t\tab", "new\nline", "plain", "back\\\\slash"}));
  ASSERT_TRUE(cases.fingerprint && items.fingerprint);
  EXPECT_EQ(cases.fingerprint->crc32, items.fingerprint->crc32);
  EXPECT_EQ(readFile(dir.path() + "/out/log.db"), "2 0 1\n1 0\n1 1\n1 0\n");
  ChildOptions options;
  options.workingDir = dir.path() + "/out";
  dir.write("out/patterns.txt",
            " \nPattern 1 Support = 1: \n0-1\t\n\n"
            "Total Runtime: 0 sec.\nTotal Number of patterns: 1\n"
            "***********************************************\n");
  RunResult csv =
      runShowTool({"--format", "csv", "--strings", "log.spec", "patterns.txt"}, options);
  EXPECT_EQ(csv.err, "");
  EXPECT_EQ(csv.out, "pattern,support,size,edges,strings\n1,1,1,0->1,t\tab\n");
}

}  // namespace
}  // namespace tavrel::testing
