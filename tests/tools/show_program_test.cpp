// tavrel-show as a user runs it: golden output for each format, standard
// input, malformed miner output, a wrong item table and failed writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

TEST(ShowProgramTest, ACutOffOutputIsReadUpToItsLastCompletePattern) {
  // cut.txt is patterns.txt cut after the edge line of pattern 3.
  std::string warning = readData("show/cut.stderr");
  RunResult summary = showInData({"--items", "items.tsv", "cut.txt"});
  EXPECT_EQ(summary.status, 0);
  EXPECT_EQ(summary.out, readData("show/cut-summary.txt"));
  EXPECT_EQ(summary.err, warning);
  RunResult strict = showInData({"--strict", "--items", "items.tsv", "cut.txt"});
  EXPECT_EQ(strict.status, 1);
  EXPECT_EQ(strict.out, summary.out);
  EXPECT_EQ(strict.err, warning);

  // A run capped by --max-patterns: read whole, but not taken for every
  // pattern, and an error with --strict.
  ScratchDir dir;
  std::string capped = dir.write("capped.txt", readData("show/patterns.txt") +
                                                   "Stopped after 5 patterns, the limit set by "
                                                   "--max-patterns\n");
  for (bool strictly : {false, true}) {
    std::vector<std::string> args{capped};
    if (strictly) args.insert(args.begin(), "--strict");
    RunResult cappedRun = runShowTool(args);
    EXPECT_EQ(cappedRun.status, strictly ? 1 : 0);
    EXPECT_EQ(cappedRun.out, showInData({"patterns.txt"}).out);
    EXPECT_EQ(cappedRun.err, "tavrel-show: " + capped +
                                 " holds the first 5 patterns of a run stopped by "
                                 "--max-patterns, not every pattern\n");
  }

  // A run whose output goes through `head`: the records go out as they come.
  ChildOptions inData;
  inData.workingDir = dataPath("show");
  RunResult piped = runChild(
      {"-c", "head -n 13 patterns.txt | \"$0\" --format jsonl --items items.tsv", TAVREL_SHOW_EXE},
      inData, "/bin/sh");
  EXPECT_EQ(piped.status, 0);
  std::string labelledJson = readData("show/labelled.jsonl");
  EXPECT_EQ(piped.out, labelledJson.substr(0, labelledJson.find("{\"pattern\":5")));
  EXPECT_EQ(piped.err,
            "tavrel-show: standard input ends after pattern 4, without the miner's closing "
            "lines: the run was not complete\n");
}

TEST(ShowProgramTest, PicturesGoOneFilePerPatternIntoAFolder) {
  ScratchDir dir;
  ChildOptions options;
  options.workingDir = dir.path();
  std::string patterns = dataPath("show/patterns.txt");
  std::string items = dataPath("show/items.tsv");
  RunResult dot =
      runShowTool({"--format", "dot", "--items", items, "--output-dir", "dot", patterns}, options);
  EXPECT_EQ(dot.status, 0) << dot.err;
  EXPECT_EQ(dot.out, "");
  // The files hold the graphs that follow one another in labelled.dot.
  std::string stream;
  for (int number = 1; number <= 5; ++number) {
    stream += readFile(dir.path() + "/dot/pattern_" + std::to_string(number) + ".dot");
  }
  EXPECT_EQ(stream, readData("show/labelled.dot"));
  EXPECT_EQ(listFolder(dir.path() + "/dot").size(), 5u);

  RunResult svg = runShowTool(
      {"--format", "svg", "--items", items, "--output-dir", "pictures/svg", patterns}, options);
  EXPECT_EQ(svg.status, 0) << svg.err;
  std::string second = readFile(dir.path() + "/pictures/svg/pattern_2.svg");
  EXPECT_NE(second.find("Pattern 2, support 3"), std::string::npos);
  EXPECT_NE(second.find("back\\slash"), std::string::npos);
  EXPECT_EQ(second.substr(second.size() - 7), "</svg>\n");

  RunResult png = runShowTool({"--format=png", "--top=2", "--output-dir=png", patterns}, options);
  EXPECT_EQ(png.status, 0) << png.err;
  EXPECT_EQ(listFolder(dir.path() + "/png"),
            (std::vector<std::string>{"pattern_1.png", "pattern_3.png"}));
  EXPECT_EQ(readFile(dir.path() + "/png/pattern_3.png").substr(0, 8), "\x89PNG\r\n\x1a\n");

  // One pattern's picture may go to standard output.
  RunResult one = runShowTool({"--format", "svg", "--pattern", "4", patterns}, options);
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.out.rfind("<?xml", 0), 0u);
  EXPECT_NE(one.out.find("Pattern 4, support 3"), std::string::npos);
  RunResult best = runShowTool({"--format", "png", "--top", "1", patterns}, options);
  EXPECT_EQ(best.out.substr(0, 8), "\x89PNG\r\n\x1a\n");

  dir.write("file", "");
  RunResult blocked =
      runShowTool({"--format", "dot", "--output-dir", "file/dot", patterns}, options);
  EXPECT_EQ(blocked.status, 1);
  EXPECT_EQ(blocked.err, "tavrel-show: cannot create the folder file/dot: Not a directory\n");
}

TEST(ShowProgramTest, APictureReplacesASymbolicLinkInsteadOfWritingThroughIt) {
  ScratchDir dir;
  dir.write("precious.txt", "keep me\n");
  std::filesystem::create_directories(dir.path() + "/out");
  std::filesystem::create_symlink("../precious.txt", dir.path() + "/out/pattern_1.dot");
  ChildOptions options;
  options.workingDir = dir.path();
  RunResult run = runShowTool(
      {"--format", "dot", "--pattern", "1", "--output-dir", "out", dataPath("show/patterns.txt")},
      options);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readFile(dir.path() + "/precious.txt"), "keep me\n");
  EXPECT_FALSE(std::filesystem::is_symlink(dir.path() + "/out/pattern_1.dot"));
  EXPECT_EQ(readFile(dir.path() + "/out/pattern_1.dot").rfind("digraph pattern_1 {", 0), 0u);
  EXPECT_EQ(listFolder(dir.path() + "/out"), (std::vector<std::string>{"pattern_1.dot"}));
}

// The bytes below 0x20 (but tab, CR and LF) and 0x7F, which no output may
// pass on: XML cannot hold them, Graphviz stops at a NUL, and a terminal
// obeys an ESC.
bool holdsRawControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7F;
  });
}

TEST(ShowProgramTest, ControlCharactersInLabelsReachNoOutputRaw) {
  ScratchDir dir;
  std::string items = dir.write(
      "items.tsv", std::string("0\tone\x01two\n1\t\x1b[31mred\n2\tnul\0end\n3\t=cmd|x\n", 40));
  std::string patterns = dir.write(
      "patterns.txt", completeRunOutput("Pattern 1 Support = 2: \n3-0\t0-1\t1-2\t\n\n", 1));
  ChildOptions options;
  options.workingDir = dir.path();
  for (const char* format : {"summary", "jsonl", "csv", "dot", "svg", "html"}) {
    RunResult run =
        runShowTool({"--format", format, "--pattern", "1", "--items", items, patterns}, options);
    EXPECT_EQ(run.status, 0) << format << ": " << run.err;
    EXPECT_FALSE(holdsRawControl(run.out)) << format;
    bool json = std::string(format) == "jsonl";
    EXPECT_NE(run.out.find(json ? "\\u001b[31mred" : "\\x1b[31mred"), std::string::npos) << format;
    dir.write(std::string("out.") + format, run.out);
  }
  EXPECT_NE(readFile(dir.path() + "/out.summary").find("  1 (\\x1b[31mred): 1 pattern\n"),
            std::string::npos);
  EXPECT_NE(readFile(dir.path() + "/out.jsonl").find("\"\\u001b[31mred\""), std::string::npos);
  EXPECT_EQ(readFile(dir.path() + "/out.csv"),
            "pattern,support,size,edges\n1,2,3,\"'=cmd|x->one\\x01two; one\\x01two->\\x1b[31mred; "
            "\\x1b[31mred->nul\\x00end\"\n");
  std::string xmllint = findProgram("xmllint");
  if (!xmllint.empty()) {
    for (const char* page : {"out.html", "out.svg"}) {
      RunResult parsed = runChild({"--noout", dir.path() + "/" + page}, {}, xmllint);
      EXPECT_EQ(parsed.status, 0) << page << ": " << parsed.err;
    }
  }
  std::string dot = findProgram("dot");
  if (!dot.empty()) {
    RunResult drawn = renderSvg(dot, dir.path() + "/out.dot");
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_NE(drawn.out.find("nul\\x00end"), std::string::npos);
  }
}

TEST(ShowProgramTest, APatternTooLargeToDrawIsNotDrawn) {
  // A chain of 2001 items, one more than a picture holds; pattern 2 is small.
  std::string edges;
  for (int item = 0; item < 2000; ++item) {
    edges += std::to_string(item) + "-" + std::to_string(item + 1) + "\t";
  }
  ScratchDir dir;
  std::string patterns = dir.write(
      "patterns.txt",
      completeRunOutput(
          "Pattern 1 Support = 3: \n" + edges + "\n\nPattern 2 Support = 2: \n0-1\t\n\n", 2));
  const std::string notice =
      "tavrel-show: pattern 1 has 2001 items and 2000 edges, more than a picture holds (2000 "
      "items, 20000 edges); it is not drawn\n";
  RunResult dot = runShowTool({"--format", "dot", patterns});
  EXPECT_EQ(dot.status, 0);
  EXPECT_EQ(dot.err, notice);
  EXPECT_EQ(dot.out.rfind("digraph pattern_2 {", 0), 0u);
  RunResult html = runShowTool({"--format", "html", patterns});
  EXPECT_EQ(html.status, 0);
  EXPECT_EQ(html.out.find("<div data-pattern=\"1\">"), std::string::npos);
  EXPECT_NE(html.out.find("<div data-pattern=\"2\"><svg"), std::string::npos);
}

TEST(ShowProgramTest, AnEndlessLineEndsWithAMessageInBoundedMemory) {
  if (kSanitizedBuild) GTEST_SKIP() << "a sanitizer cannot run under an address-space limit";
  ChildOptions options;
  options.addressSpaceLimit = 1LL << 30;
  RunResult zeros = runShowTool({"/dev/zero"}, options);
  EXPECT_EQ(zeros.status, 1);
  EXPECT_EQ(zeros.err,
            "tavrel-show: /dev/zero:1: a line longer than 64 MiB; is this the miner's output?\n");
  // A line that is long but not endless passes: 3 MB of edges.
  std::string edges;
  for (int item = 1; item <= 250000; ++item) edges += "0-" + std::to_string(item) + "\t";
  ScratchDir dir;
  std::string patterns =
      dir.write("long.txt", completeRunOutput("Pattern 1 Support = 2: \n" + edges + "\n\n", 1));
  RunResult longLine = runShowTool({"--format", "jsonl", patterns});
  EXPECT_EQ(longLine.status, 0) << longLine.err;
  EXPECT_EQ(longLine.out.rfind("{\"pattern\":1,\"support\":2,\"size\":250000,", 0), 0u);
}

TEST(ShowProgramTest, ManyPicturesBringANoticeUnlessChosen) {
  std::string blocks;
  for (int number = 1; number <= 101; ++number) {
    blocks += "Pattern " + std::to_string(number) + " Support = 2: \n1-2\t\n\n";
  }
  ScratchDir dir;
  dir.write("many.txt", completeRunOutput(blocks, 101));
  ChildOptions options;
  options.workingDir = dir.path();
  RunResult all = runShowTool({"--format", "dot", "--output-dir", "all", "many.txt"}, options);
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.err,
            "tavrel-show: drawing more than 100 pictures; choose the patterns to draw with --top "
            "K or --pattern N\n");
  EXPECT_EQ(listFolder(dir.path() + "/all").size(), 101u);
  RunResult chosen =
      runShowTool({"--format", "dot", "--top", "101", "--output-dir", "top", "many.txt"}, options);
  EXPECT_EQ(chosen.status, 0);
  EXPECT_EQ(chosen.err, "");
}

TEST(ShowProgramTest, AnItemTableOfAnotherDatabaseIsWarnedAbout) {
  // The table was written for a database of 3 strings; patterns 1 and 3
  // have supports 5 and 4, which no such database gives.
  ScratchDir dir;
  dir.write("other.tsv",
            "# database fingerprint: strings=3 crc32=12345678\n" + readData("show/items.tsv"));
  ChildOptions options;
  options.workingDir = dir.path();
  RunResult result = runShowTool(
      {"--format", "jsonl", "--items", "other.tsv", dataPath("show/patterns.txt")}, options);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, readData("show/labelled.jsonl"));
  EXPECT_EQ(result.err,
            "tavrel-show: pattern 1 has support 5, more than the 3 strings of the database that "
            "other.tsv was written for; its labels may be wrong (is it the table of this "
            "database?)\n");
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

TEST(ShowProgramTest, BadInputIsAnError) {
  ScratchDir dir;
  std::string patterns = readData("show/patterns.txt");
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
           {{"miner-error.txt"},
            "miner-error.txt:1: expected a line holding one blank, found 'row #3: error repeated "
            "item' (is this the miner's output of a complete run?)"},
           {{"missing.txt"}, "cannot open missing.txt: No such file or directory"},
           {{"."}, "cannot read .: Is a directory"},
           {{"--items", "missing.tsv", "patterns.txt"},
            "cannot open missing.tsv: No such file or directory"},
           {{"--items", "patterns.txt", "patterns.txt"},
            "patterns.txt:1: expected an item number, a tab and a label"},
           {{"--pattern", "6", "patterns.txt"}, "there is no pattern 6 (the output holds 5)"}}) {
    RunResult result = runShowTool(c.args, options);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.out, "") << c.err;
    EXPECT_EQ(result.err, "tavrel-show: " + c.err + "\n");
  }
  // The short table names items 0 to 2, enough for patterns 1 and 2, which
  // are written before pattern 3 stops the run.
  RunResult labelled =
      runShowTool({"--items", "short.tsv", "--pattern", "1,2", "patterns.txt"}, options);
  EXPECT_EQ(labelled.status, 0) << labelled.err;
  RunResult stopped =
      runShowTool({"--items", "short.tsv", "--format", "jsonl", "patterns.txt"}, options);
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(stopped.err,
            "tavrel-show: short.tsv: no label for item 3 of pattern 3 (is it the table of this "
            "database?)\n");
  std::string labelledJson = readData("show/labelled.jsonl");
  std::size_t third = labelledJson.find("{\"pattern\":3");
  EXPECT_EQ(stopped.out, labelledJson.substr(0, third));

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
           {{"--format", "xml"},
            "unknown format 'xml' (use summary, dot, jsonl, csv, svg, png or html)"},
           {{"--format", "svg", "--top", "2"},
            "--format svg writes one file per pattern: give --output-dir DIR, or choose one "
            "pattern with --pattern N or --top 1"},
           {{"--output-dir", "pictures"}, "--output-dir applies to --format dot, svg and png only"},
           {{"--top", "-1"}, "option --top needs a whole number of 0 or more, not '-1'"},
           {{"--pattern", "1,,2"}, "option --pattern needs a whole number of 0 or more, not ''"},
           {{"--min-support=x"}, "option --min-support needs a whole number of 0 or more, not 'x'"},
           {{"--all-edges"}, "--all-edges applies to --format dot, svg, png and html only"},
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
