// The pieces of tavrel-show in this process: reading the miner's output,
// the Hasse reduction, the selection and the escapes of each format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "show/hasse.h"
#include "show/miner_output.h"
#include "show/selection.h"
#include "show/text_escape.h"

namespace tavrel::tools {
namespace {

const std::string kStars(47, '*');

std::string footer(int count) {
  return "Total Runtime: 0 sec.\nTotal Number of patterns: " + std::to_string(count) + "\n" +
         kStars + "\n";
}

std::vector<std::pair<int, int>> pairs(const std::vector<Edge>& edges) {
  std::vector<std::pair<int, int>> result;
  for (const Edge& edge : edges) result.emplace_back(edge.from, edge.to);
  return result;
}

std::vector<Edge> edgesOf(const std::vector<std::pair<int, int>>& list) {
  std::vector<Edge> edges;
  for (const auto& [from, to] : list) edges.push_back({from, to});
  return edges;
}

TEST(MinerOutputTest, ReadsPatternsWhateverTheRuntimeAndLineEnds) {
  std::string body =
      " \nPattern 1 Support = 3: \n1-4\t\n\nPattern 2 Support = 2: \n1-4\t2-4\t1-2\t\n\n";
  for (const char* runtime : {"0", "0.015", "1.5e+06", "12"}) {
    std::string text = body + "Total Runtime: " + std::string(runtime) +
                       " sec.\nTotal Number of patterns: 2\n" + kStars + "\n";
    std::vector<Pattern> patterns;
    std::string error;
    ASSERT_EQ(parseMinerOutput(text, "out", &patterns, &error), 0) << error;
    ASSERT_EQ(patterns.size(), 2u);
    EXPECT_EQ(patterns[0].number, 1);
    EXPECT_EQ(patterns[0].support, 3);
    EXPECT_EQ(pairs(patterns[0].edges), (std::vector<std::pair<int, int>>{{1, 4}}));
    EXPECT_EQ(patterns[1].support, 2);
    EXPECT_EQ(pairs(patterns[1].edges), (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {1, 2}}));
  }
  // The same output with Windows line ends, and a run that found nothing.
  std::string crlf;
  for (char c : body + footer(2)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::vector<Pattern> patterns;
  std::string error;
  EXPECT_EQ(parseMinerOutput(crlf, "out", &patterns, &error), 0) << error;
  EXPECT_EQ(patterns.size(), 2u);
  EXPECT_EQ(parseMinerOutput(" \n" + footer(0), "out", &patterns, &error), 0) << error;
  EXPECT_TRUE(patterns.empty());
}

TEST(MinerOutputTest, MalformedOutputIsReportedWithItsLine) {
  const std::string one = " \nPattern 1 Support = 3: \n1-2\t\n\n";
  struct Case {
    std::string text;
    std::string error;
  };
  for (const Case& c : std::vector<Case>{
           {"", "out:1: empty input; expected the miner's output"},
           {"Usage: Tavrel.exe spec_file min_sup\n",
            "out:1: expected a line holding one blank, found 'Usage: Tavrel.exe spec_file "
            "min_sup' (is this the miner's output of a complete run?)"},
           {" \nPattern 1 Support = 3: \n\n" + footer(1), "out:2: pattern 1 has no edge line"},
           {" \nPattern 1 Support = 3: \nPattern 2 Support = 3: \n1-2\t\n\n" + footer(2),
            "out:2: pattern 1 has no edge line"},
           {" \nPattern 1 Support = 3: \n", "out:2: pattern 1 has no edge line"},
           {one + "Pattern 3 Support = 3: \n1-2\t\n\n" + footer(2),
            "out:5: pattern 3 is out of sequence (expected pattern 2)"},
           {" \nPattern 1 Support = 0: \n1-2\t\n\n" + footer(1), "out:2: pattern 1 has support 0"},
           {" \nPattern 1 Support = 3:\n1-2\t\n\n" + footer(1),
            "out:2: unexpected line 'Pattern 1 Support = 3:'"},
           {" \nPattern 1 Support = 3: \n1-\t\n\n" + footer(1),
            "out:3: malformed edge '1-' (expected <from>-<to> and a tab)"},
           {" \nPattern 1 Support = 3: \n1-2\t3-4\n\n" + footer(1),
            "out:3: malformed edge '3-4' (expected <from>-<to> and a tab)"},
           {" \nPattern 1 Support = 3: \n1- 2\t\n\n" + footer(1),
            "out:3: malformed edge '1- 2' (expected <from>-<to> and a tab)"},
           {" \nPattern 1 Support = 3: \n3-3\t\n\n" + footer(1),
            "out:3: edge '3-3' joins an item to itself"},
           {" \nPattern 1 Support = 3: \n1-2\t2-3\t1-2\t\n\n" + footer(1),
            "out:3: edge '1-2' is listed twice"},
           {" \nPattern 1 Support = 3: \n1-2\t\nPattern 2 Support = 3: \n",
            "out:4: expected an empty line after the edges of pattern 1"},
           {one, "out:5: the output ends before its summary lines"},
           {one + "hello\n" + footer(1), "out:5: unexpected line 'hello'"},
           {one + "Total Runtime:  sec.\n", "out:5: unexpected line 'Total Runtime:  sec.'"},
           {one + footer(2), "out:6: the output counts 2 patterns, but holds 1"},
           {one + "Total Runtime: 0 sec.\nTotal Number of patterns: one\n",
            "out:6: expected \"Total Number of patterns: <count>\""},
           {one + "Total Runtime: 0 sec.\nTotal Number of patterns: 1\n",
            "out:7: expected the closing line of 47 asterisks"},
           {one + "Total Runtime: 0 sec.\nTotal Number of patterns: 1\n***\n",
            "out:7: expected the closing line of 47 asterisks"},
           {one + footer(1) + " \n", "out:8: text after the end of the miner's output"}}) {
    std::vector<Pattern> patterns;
    std::string error;
    EXPECT_EQ(parseMinerOutput(c.text, "out", &patterns, &error), -1) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(HasseTest, LeavesOutEdgesThatLongerPathsImply) {
  struct Case {
    std::vector<std::pair<int, int>> edges;
    std::vector<std::pair<int, int>> reduced;
  };
  for (const Case& c : std::vector<Case>{
           {{{1, 4}, {2, 4}, {1, 2}}, {{2, 4}, {1, 2}}},
           {{{1, 2}, {1, 3}, {1, 4}, {2, 3}, {3, 4}, {2, 4}}, {{1, 2}, {2, 3}, {3, 4}}},
           {{{0, 1}, {0, 2}, {1, 3}, {2, 3}}, {{0, 1}, {0, 2}, {1, 3}, {2, 3}}},
           {{{0, 1}, {0, 2}, {1, 3}, {2, 3}, {0, 3}}, {{0, 1}, {0, 2}, {1, 3}, {2, 3}}},
           {{{5, 6}, {8, 7}}, {{5, 6}, {8, 7}}},
           {{}, {}}}) {
    std::vector<Edge> reduced;
    EXPECT_EQ(transitiveReduction(edgesOf(c.edges), &reduced), 0);
    EXPECT_EQ(pairs(reduced), c.reduced);
  }
  // A cycle cannot be reduced: every edge is handed back.
  std::vector<std::pair<int, int>> cycle{{1, 2}, {2, 3}, {3, 1}, {1, 3}, {0, 1}};
  std::vector<Edge> reduced;
  EXPECT_EQ(transitiveReduction(edgesOf(cycle), &reduced), -1);
  EXPECT_EQ(pairs(reduced), cycle);
}

TEST(SelectionTest, FiltersApplyTogetherThenTopKBreaksTiesByNumber) {
  std::vector<Pattern> patterns;
  std::vector<int> supports{5, 3, 4, 3, 2, 3};
  std::vector<int> sizes{1, 3, 1, 4, 5, 2};
  for (size_t i = 0; i < supports.size(); ++i) {
    patterns.push_back({static_cast<int>(i) + 1, supports[i],
                        std::vector<Edge>(static_cast<size_t>(sizes[i]), Edge{0, 1})});
  }
  auto numbers = [&](const Selection& selection) {
    std::vector<size_t> chosen;
    std::string error;
    EXPECT_EQ(selectPatterns(patterns, selection, &chosen, &error), 0) << error;
    std::vector<int> result;
    for (size_t index : chosen) result.push_back(patterns[index].number);
    return result;
  };
  using Numbers = std::vector<int>;
  EXPECT_EQ(numbers({}), (Numbers{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(numbers({{}, 3}), (Numbers{1, 2, 3, 4, 6}));
  EXPECT_EQ(numbers({{}, 0, 2, 4}), (Numbers{2, 4, 6}));
  EXPECT_EQ(numbers({{}, 0, 10}), Numbers{});
  EXPECT_EQ(numbers({{6, 2, 5}, 3}), (Numbers{2, 6}));
  EXPECT_EQ(numbers({{}, 0, 0, -1, 4}), (Numbers{1, 3, 2, 4}));
  EXPECT_EQ(numbers({{}, 0, 2, -1, 2}), (Numbers{2, 4}));
  EXPECT_EQ(numbers({{6, 2}, 0, 0, -1, 1}), (Numbers{2}));
  EXPECT_EQ(numbers({{}, 0, 0, -1, 0}), Numbers{});
  EXPECT_EQ(numbers({{}, 0, 0, -1, 99}), (Numbers{1, 3, 2, 4, 6, 5}));
  for (int missing : {0, 7}) {
    std::vector<size_t> chosen;
    std::string error;
    EXPECT_EQ(selectPatterns(patterns, {{2, missing}}, &chosen, &error), -1);
    EXPECT_EQ(error, "there is no pattern " + std::to_string(missing) + " (the output holds 6)");
  }
}

TEST(TextEscapeTest, EachFormatEscapesWhatItMust) {
  EXPECT_EQ(jsonString("plain €, 😀"), "\"plain €, 😀\"");
  EXPECT_EQ(jsonString("q\"b\\n\nt\tr\rb\bf\f\x01\x1f"),
            "\"q\\\"b\\\\n\\nt\\tr\\rb\\bf\\f\\u0001\\u001f\"");
  // Invalid UTF-8: overlong form, surrogate, stray continuation, cut-off
  // sequence, bytes that never occur.
  const std::string bad = "\xEF\xBF\xBD";
  EXPECT_EQ(validUtf8("\xC0\x80"), bad + bad);
  EXPECT_EQ(validUtf8("a\xED\xA0\x80z"), "a" + bad + bad + bad + "z");
  EXPECT_EQ(validUtf8("\x80x"), bad + "x");
  EXPECT_EQ(validUtf8("x\xE2\x82"), "x" + bad + bad);
  EXPECT_EQ(validUtf8("\xF5\xFF"), bad + bad);
  EXPECT_EQ(validUtf8("\xF4\x90\x80\x80"), bad + bad + bad + bad);  // above U+10FFFF
  EXPECT_EQ(validUtf8("\xF4\x8F\xBF\xBF"), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(jsonString("\xFF"), "\"" + bad + "\"");

  EXPECT_EQ(csvField("plain text\t"), "plain text\t");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(csvField("cr\r"), "\"cr\r\"");

  EXPECT_EQ(dotString("a \"b\" c\\d"), "\"a \\\"b\\\" c\\\\d\"");
  EXPECT_EQ(dotString("two\r\nlines"), "\"two\\nlines\"");
}

}  // namespace
}  // namespace tavrel::tools
