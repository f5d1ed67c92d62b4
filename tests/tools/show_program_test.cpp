// tavrel-show as a user runs it: golden output for each format, standard
// input, malformed miner output, a wrong item table and failed writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show/show_options.h"
#include "tools/tools_test_support.h"

namespace tavrel::testing {
namespace {

// Runs tavrel-show in data/show, where patterns.txt and items.tsv lie.
RunResult showInData(const std::vector<std::string>& args) {
  ChildOptions options;
  options.workingDir = dataPath("show");
  return runShowTool(args, options);
}

size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(ShowProgramTest, EachFormatMatchesItsGoldenFile) {
  struct Case {
    std::vector<std::string> args;
    std::string golden;
  };
  for (const Case& c : std::vector<Case>{
           {{"--items", "items.tsv", "patterns.txt"}, "summary.txt"},
           {{"--format", "dot", "--items", "items.tsv", "patterns.txt"}, "labelled.dot"},
           {{"--format", "dot", "--all-edges", "--pattern", "5", "patterns.txt"}, "all-edges.dot"},
           {{"--format", "jsonl", "--items", "items.tsv", "patterns.txt"}, "labelled.jsonl"},
           {{"--format", "jsonl", "patterns.txt"}, "plain.jsonl"},
           {{"--format=csv", "--items=items.tsv", "patterns.txt"}, "labelled.csv"}}) {
    RunResult result = showInData(c.args);
    EXPECT_EQ(result.status, 0) << c.golden;
    EXPECT_EQ(result.err, "") << c.golden;
    EXPECT_EQ(result.out, readData("show/" + c.golden)) << c.golden;
  }
}

TEST(ShowProgramTest, SelectionAndStandardInput) {
  // Patterns 2, 4 and 5 have two edges or more, with supports 3, 3 and 2;
  // the top two are 2 and 4, whose tie goes by pattern number.
  RunResult top = showInData({"--format", "csv", "--min-edges", "2", "--top", "2", "patterns.txt"});
  EXPECT_EQ(top.status, 0);
  EXPECT_EQ(top.out,
            "pattern,support,size,edges\n2,3,3,0->1; 1->2; 0->2\n4,3,4,0->1; 0->3; 1->4; 3->4\n");
  RunResult some = showInData({"--format", "jsonl", "--pattern", "5,1", "--pattern", "3",
                               "--min-support", "3", "--max-edges", "1", "patterns.txt"});
  EXPECT_EQ(some.out,
            "{\"pattern\":1,\"support\":5,\"size\":1,\"edges\":[[0,1]]}\n"
            "{\"pattern\":3,\"support\":4,\"size\":1,\"edges\":[[0,3]]}\n");
  RunResult none = showInData({"--min-support", "9", "patterns.txt"});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.out, "Patterns: 0 of 5\n");

  ChildOptions inData;
  inData.workingDir = dataPath("show");
  for (const char* operand : {"", " -"}) {
    RunResult piped =
        runChild({"-c", std::string("exec \"$0\" --format jsonl") + operand + " < patterns.txt",
                  TAVREL_SHOW_EXE},
                 inData, "/bin/sh");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, readData("show/plain.jsonl"));
  }
}

TEST(ShowProgramTest, ACycleIsDrawnWithAllItsEdges) {
  ScratchDir dir;
  dir.write("cycle.txt",
            " \nPattern 1 Support = 2: \n1-2\t2-3\t3-1\t\n\nTotal Runtime: 0 sec.\n"
            "Total Number of patterns: 1\n" +
                std::string(47, '*') + "\n");
  ChildOptions options;
  options.workingDir = dir.path();
  RunResult result = runShowTool({"--format", "dot", "cycle.txt"}, options);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err,
            "tavrel-show: the edges of pattern 1 form a cycle; all of them are drawn\n");
  EXPECT_EQ(result.out,
            "digraph pattern_1 {\n  label=\"Pattern 1, support 2\";\n  labelloc=t;\n"
            "  rankdir=LR;\n  node [shape=box, style=rounded];\n"
            "  // the edges form a cycle: all of them are drawn\n"
            "  i1 [label=\"1\"];\n  i2 [label=\"2\"];\n  i3 [label=\"3\"];\n"
            "  i1 -> i2;\n  i2 -> i3;\n  i3 -> i1;\n}\n");
}

TEST(ShowProgramTest, BadInputIsAnErrorWithNoOutput) {
  ScratchDir dir;
  std::string patterns = readData("show/patterns.txt");
  dir.write("cut.txt", patterns.substr(0, patterns.find("Pattern 3")));
  dir.write("miner-error.txt", "row #3: error repeated item\n3 1 2 1\n");
  std::string items = readData("show/items.tsv");
  dir.write("short.tsv", items.substr(0, items.find("3\t")));
  dir.write("patterns.txt", patterns);
  ChildOptions options;
  options.workingDir = dir.path();
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {{"cut.txt"}, "cut.txt:8: the output ends before its summary lines"},
           {{"miner-error.txt"},
            "miner-error.txt:1: expected a line holding one blank, found 'row #3: error repeated "
            "item' (is this the miner's output of a complete run?)"},
           {{"missing.txt"}, "cannot open missing.txt: No such file or directory"},
           {{"."}, "cannot read .: Is a directory"},
           {{"--items", "missing.tsv", "patterns.txt"},
            "cannot open missing.tsv: No such file or directory"},
           {{"--items", "patterns.txt", "patterns.txt"},
            "patterns.txt:1: expected an item number, a tab and a label"},
           {{"--items", "short.tsv", "--format", "dot", "patterns.txt"},
            "short.tsv: no label for item 3 of pattern 3 (is it the table of this database?)"},
           {{"--pattern", "6", "patterns.txt"}, "there is no pattern 6 (the output holds 5)"}}) {
    RunResult result = runShowTool(c.args, options);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.out, "") << c.err;
    EXPECT_EQ(result.err, "tavrel-show: " + c.err + "\n");
  }
  // The short table names items 0 to 2, enough for patterns 1 and 2.
  RunResult labelled =
      runShowTool({"--items", "short.tsv", "--pattern", "1,2", "patterns.txt"}, options);
  EXPECT_EQ(labelled.status, 0) << labelled.err;

  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"patterns.txt"}, {"--help"}}) {
    RunResult result = runIntoFullDevice(TAVREL_SHOW_EXE, args, dir.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "tavrel-show: cannot write the output: No space left on device\n");
  }
}

TEST(ShowProgramTest, UsageErrorsExitWithStatus2) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {{"--format", "svg"}, "unknown format 'svg' (use summary, dot, jsonl or csv)"},
           {{"--top", "-1"}, "option --top needs a whole number of 0 or more, not '-1'"},
           {{"--pattern", "1,,2"}, "option --pattern needs a whole number of 0 or more, not ''"},
           {{"--min-support=x"}, "option --min-support needs a whole number of 0 or more, not 'x'"},
           {{"--all-edges"}, "--all-edges applies to --format dot only"},
           {{"a", "b"}, "too many operands (one miner output at most)"},
           {{"--items"}, "option --items needs a value"},
           {{"--colour"}, "unknown option --colour"}}) {
    RunResult result = showInData(c.args);
    EXPECT_EQ(result.status, 2) << c.err;
    EXPECT_EQ(result.err, "tavrel-show: " + c.err + " (see tavrel-show --help)\n");
  }
  RunResult help = showInData({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, tools::showUsage());
}

TEST(ShowProgramTest, GraphvizReadsTheDotGoldenFiles) {
  std::string dot = findProgram("dot");
  if (dot.empty()) GTEST_SKIP() << "Graphviz's dot is not installed";
  for (const char* golden : {"show/labelled.dot", "show/all-edges.dot", "pipeline/top2.dot"}) {
    RunResult svg = renderSvg(dot, dataPath(golden));
    EXPECT_EQ(svg.status, 0) << golden;
    EXPECT_EQ(svg.err, "") << golden;
    EXPECT_EQ(countOf(svg.out, "</svg>"), countOf(readData(golden), "digraph")) << golden;
  }
  // Labels are drawn as text: the escaped quote, the replaced byte, a comma.
  RunResult svg = renderSvg(dot, dataPath("show/labelled.dot"));
  EXPECT_NE(svg.out.find("Start &quot;home&quot;"), std::string::npos);
  EXPECT_NE(svg.out.find("bad \xEF\xBF\xBD byte"), std::string::npos);
  RunResult orders = renderSvg(dot, dataPath("pipeline/top2.dot"));
  EXPECT_NE(orders.out.find("Check stock, reserve"), std::string::npos);
  EXPECT_NE(orders.out.find("Pattern 2, support 35"), std::string::npos);
}

}  // namespace
}  // namespace tavrel::testing
