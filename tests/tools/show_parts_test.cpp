// The pieces of tavrel-show in this process: the Hasse reduction, the
// selection and the escapes of each format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "show/hasse.h"
#include "show/selection.h"
#include "show/share_text.h"
#include "show/text_escape.h"
#include "show/value_ranges.h"

namespace tavrel::tools {
namespace {

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
  // The patterns as tavrel-show passes them on: filtered, then the top k.
  auto numbers = [&](Selection selection) {
    prepareSelection(&selection);
    TopPatterns top;
    top.limit = selection.top >= 0 ? static_cast<size_t>(selection.top) : 0;
    std::vector<std::int64_t> result;
    for (const Pattern& pattern : patterns) {
      if (!passesFilters(selection, pattern)) continue;
      if (selection.top >= 0) {
        offerPattern(&top, pattern);
      } else {
        result.push_back(pattern.number);
      }
    }
    for (const Pattern& pattern : takeRanking(&top)) result.push_back(pattern.number);
    return result;
  };
  using Numbers = std::vector<std::int64_t>;
  EXPECT_EQ(numbers({}), (Numbers{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(numbers({{}, 3}), (Numbers{1, 2, 3, 4, 6}));
  EXPECT_EQ(numbers({{}, 0, 2, 4}), (Numbers{2, 4, 6}));
  EXPECT_EQ(numbers({{}, 0, 10}), Numbers{});
  EXPECT_EQ(numbers({{6, 2, 5, 6}, 3}), (Numbers{2, 6}));
  EXPECT_EQ(numbers({{}, 0, 0, -1, 4}), (Numbers{1, 3, 2, 4}));
  EXPECT_EQ(numbers({{}, 0, 2, -1, 2}), (Numbers{2, 4}));
  EXPECT_EQ(numbers({{6, 2}, 0, 0, -1, 1}), (Numbers{2}));
  EXPECT_EQ(numbers({{}, 0, 0, -1, 0}), Numbers{});
  EXPECT_EQ(numbers({{}, 0, 0, -1, 99}), (Numbers{1, 3, 2, 4, 6, 5}));
  for (int missing : {0, 7}) {
    Selection selection{{2, missing}};
    prepareSelection(&selection);
    EXPECT_EQ(checkRequestedNumbers(selection, 6).message(),
              "there is no pattern " + std::to_string(missing) + " (the output holds 6)");
  }
}

TEST(SelectionTest, TheHeapKeepsTheBestOfManyPatterns) {
  // Supports that repeat and come in no order, against a full sort.
  std::vector<Pattern> patterns;
  for (int number = 1; number <= 500; ++number) {
    patterns.push_back({number, (number * 37) % 23 + 1, {}});
  }
  for (size_t limit : {1u, 7u, 100u, 600u}) {
    TopPatterns top;
    top.limit = limit;
    for (const Pattern& pattern : patterns) offerPattern(&top, pattern);
    std::vector<Pattern> sorted = patterns;
    std::sort(sorted.begin(), sorted.end(), ranksBefore);
    sorted.resize(std::min(limit, sorted.size()));
    std::vector<std::int64_t> expected, kept;
    for (const Pattern& pattern : sorted) expected.push_back(pattern.number);
    for (const Pattern& pattern : takeRanking(&top)) kept.push_back(pattern.number);
    EXPECT_EQ(kept, expected) << limit;
  }
}

TEST(SummaryTest, ManySupportsAreGroupedIntoRoundRangesWithTheirShare) {
  std::map<int, long> few{{3, 1}, {5, 2}, {9, 1}};
  std::vector<ValueRange> ranges = groupIntoRanges(few);
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[1].low, 5);
  EXPECT_EQ(ranges[1].high, 5);
  EXPECT_EQ(ranges[1].count, 2);
  // 990..2300: a width of 100 gives 15 ranges, the first and last clipped.
  std::map<int, long> many;
  for (int support = 990; support <= 2300; support += 10) many[support] = 1;
  ranges = groupIntoRanges(many);
  ASSERT_EQ(ranges.size(), 15u);
  EXPECT_EQ(ranges.front().low, 990);
  EXPECT_EQ(ranges.front().high, 999);
  EXPECT_EQ(ranges.front().count, 1);
  EXPECT_EQ(ranges[1].low, 1000);
  EXPECT_EQ(ranges[1].high, 1099);
  EXPECT_EQ(ranges[1].count, 10);
  EXPECT_EQ(ranges.back().low, 2300);
  EXPECT_EQ(ranges.back().high, 2300);
  long total = 0;
  for (const ValueRange& range : ranges) total += range.count;
  EXPECT_EQ(total, static_cast<long>(many.size()));
  // Values over several orders of magnitude: ranges from 1, 2 and 5 times
  // each power of ten.
  ranges = groupIntoRanges({{990, 9},
                            {991, 1},
                            {992, 1},
                            {993, 1},
                            {994, 1},
                            {995, 1},
                            {996, 1},
                            {997, 1},
                            {998, 1},
                            {999, 1},
                            {1000, 1},
                            {1500, 1},
                            {2600, 1},
                            {45000, 1},
                            {52000, 1},
                            {900000, 1}});
  std::vector<std::vector<long>> found;
  for (const ValueRange& range : ranges) found.push_back({range.low, range.high, range.count});
  EXPECT_EQ(found, (std::vector<std::vector<long>>{{990, 999, 18},
                                                   {1000, 1999, 2},
                                                   {2000, 4999, 1},
                                                   {20000, 49999, 1},
                                                   {50000, 99999, 1},
                                                   {500000, 900000, 1}}));
  // Gaps leave no empty range behind: nothing lies in 20-49.
  ranges = groupIntoRanges({{1, 1},
                            {2, 1},
                            {3, 1},
                            {4, 1},
                            {5, 1},
                            {6, 1},
                            {7, 1},
                            {8, 1},
                            {9, 1},
                            {10, 1},
                            {11, 1},
                            {12, 1},
                            {13, 1},
                            {14, 1},
                            {15, 1},
                            {90, 4}});
  ASSERT_EQ(ranges.size(), 5u);
  EXPECT_EQ(ranges[3].low, 10);
  EXPECT_EQ(ranges[3].high, 19);
  EXPECT_EQ(ranges.back().low, 50);
  EXPECT_EQ(ranges.back().high, 90);
  EXPECT_EQ(ranges.back().count, 4);

  EXPECT_EQ(shareText(21, 40), "52.5%");
  EXPECT_EQ(shareText(40, 40), "100.0%");
  EXPECT_EQ(shareText(1, 3), "33.3%");
  EXPECT_EQ(shareText(2, 3), "66.7%");
  EXPECT_EQ(shareText(990, 989818), "0.1%");
  EXPECT_EQ(shareText(3, 989818), "<0.1%");
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
  // What a spreadsheet would take for a formula is turned into text.
  EXPECT_EQ(csvField("@SUM(1)->-2"), "\"'@SUM(1)->-2\"");
  EXPECT_EQ(csvField("=1+1"), "\"'=1+1\"");
  EXPECT_EQ(csvField("+x"), "\"'+x\"");
  EXPECT_EQ(csvField("-2->3"), "\"'-2->3\"");
  EXPECT_EQ(csvField("\tcmd"), "\"'\tcmd\"");
  EXPECT_EQ(csvField("\rcmd,\"x\""), "\"'\rcmd,\"\"x\"\"\"");
  EXPECT_EQ(csvField("a=b"), "a=b");

  EXPECT_EQ(dotString("a \"b\" c\\d"), "\"a \\\"b\\\" c\\\\d\"");
  EXPECT_EQ(dotString("two\r\nlines"), "\"two\\nlines\"");
}

}  // namespace
}  // namespace tavrel::tools
