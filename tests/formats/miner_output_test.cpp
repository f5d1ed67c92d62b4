// The reader of the miner's output: patterns, cut-off outputs, malformed
// lines and numbers past the int range; and the writer's room.
#include "formats/miner_output.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

namespace tavrel::formats {
namespace {

const std::string kStars(47, '*');

std::string footer(int count) {
  return "Total Runtime: 0 sec.\nTotal Number of patterns: " + std::to_string(count) + "\n" +
         kStars + "\n";
}

std::vector<std::pair<int, int>> pairs(const std::vector<OutputEdge>& edges) {
  std::vector<std::pair<int, int>> result;
  for (const OutputEdge& edge : edges) result.emplace_back(edge.from, edge.to);
  return result;
}

// Reads every pattern of `text`; `complete` tells
// whether the closing lines were there.
int readAll(const std::string& text, std::vector<OutputPattern>* patterns, bool* complete,
            std::string* error) {
  MinerOutputReader reader;
  reader.lines = LineInput::overText(text);
  reader.name = "out";
  patterns->clear();
  OutputPattern pattern;
  int status;
  while ((status = nextPattern(&reader, &pattern)) > 0) patterns->push_back(pattern);
  *complete = reader.complete;
  *error = reader.failure.message();
  return status;
}

TEST(MinerOutputTest, ReadsPatternsWhateverTheRuntimeAndLineEnds) {
  std::string body =
      " \nPattern 1 Support = 3: \n1-4\t\n\nPattern 2 Support = 2: \n1-4\t2-4\t1-2\t\n\n";
  bool complete = false;
  for (const char* runtime : {"0", "0.015", "1.5e+06", "12"}) {
    std::string text = body + "Total Runtime: " + std::string(runtime) +
                       " sec.\nTotal Number of patterns: 2\n" + kStars + "\n";
    std::vector<OutputPattern> patterns;
    std::string error;
    ASSERT_EQ(readAll(text, &patterns, &complete, &error), 0) << error;
    EXPECT_TRUE(complete);
    ASSERT_EQ(patterns.size(), 2u);
    EXPECT_EQ(patterns[0].number, 1);
    EXPECT_EQ(patterns[0].support, 3);
    EXPECT_EQ(pairs(patterns[0].edges), (std::vector<std::pair<int, int>>{{1, 4}}));
    EXPECT_EQ(patterns[1].support, 2);
    EXPECT_EQ(pairs(patterns[1].edges), (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {1, 2}}));
  }
  // The same output with Windows line ends and without the last line end,
  // and a run that found nothing.
  std::string crlf;
  for (char c : body + footer(2)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::vector<OutputPattern> patterns;
  std::string error;
  EXPECT_EQ(readAll(crlf, &patterns, &complete, &error), 0) << error;
  EXPECT_EQ(patterns.size(), 2u);
  EXPECT_TRUE(complete);
  std::string unterminated = body + footer(2);
  unterminated.pop_back();
  EXPECT_EQ(readAll(unterminated, &patterns, &complete, &error), 0) << error;
  EXPECT_TRUE(complete);
  EXPECT_EQ(readAll(" \n" + footer(0), &patterns, &complete, &error), 0) << error;
  EXPECT_TRUE(patterns.empty());
  EXPECT_TRUE(complete);
}

TEST(MinerOutputTest, AnOutputCappedByMaxPatternsSaysSo) {
  const std::string two =
      " \nPattern 1 Support = 3: \n1-2\t\n\nPattern 2 Support = 2: \n2-3\t\n\n" + footer(2);
  struct Case {
    std::string text;
    bool complete;
    bool capped;
  };
  for (const Case& c : std::vector<Case>{{two, true, false},
                                         {two + cappedLine(2), true, true},
                                         {two + "Stopped after 2 pat", false, false}}) {
    MinerOutputReader reader;
    reader.lines = LineInput::overText(c.text);
    reader.name = "out";
    OutputPattern pattern;
    while (nextPattern(&reader, &pattern) > 0) {
    }
    EXPECT_EQ(reader.failure.message(), "") << c.text;
    EXPECT_EQ(reader.complete, c.complete) << c.text;
    EXPECT_EQ(reader.capped, c.capped) << c.text;
  }
  // The line must name the count the output holds.
  std::vector<OutputPattern> patterns;
  bool complete = false;
  std::string error;
  EXPECT_EQ(readAll(two + cappedLine(3), &patterns, &complete, &error), -1);
  EXPECT_EQ(error, "out:11: text after the end of the miner's output");
}

TEST(MinerOutputTest, ACutOffOutputYieldsItsCompletePatterns) {
  const std::string one = " \nPattern 1 Support = 3: \n1-2\t\n\n";
  const std::string two = one + "Pattern 2 Support = 2: \n2-3\t\n\n";
  struct Case {
    std::string text;
    std::size_t patterns;
  };
  for (const Case& c :
       std::vector<Case>{{" ", 0},
                         {" \n", 0},
                         {" \nPattern 1 Support = 3: \n", 0},
                         {" \nPattern 1 Support = 3: \n1-2\t2-", 0},  // the edge line is cut
                         {" \nPattern 1 Support = 3: \n1-2\t\n", 1},  // as `head -n 3` leaves it
                         {one, 1},
                         {one + "Patt", 1},
                         {two + "Total Runtime: 0 sec.\n", 2},
                         {two + "Total Runtime: 0 sec.\nTotal Number of patterns: 2\n", 2},
                         {two + "Total Runtime: 0 sec.\nTotal Number of patterns: 2\n*****", 2}}) {
    std::vector<OutputPattern> patterns;
    bool complete = true;
    std::string error;
    EXPECT_EQ(readAll(c.text, &patterns, &complete, &error), 0) << c.text << error;
    EXPECT_FALSE(complete) << c.text;
    EXPECT_EQ(patterns.size(), c.patterns) << c.text;
  }
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
           {one + "hello\n" + footer(1), "out:5: unexpected line 'hello'"},
           {one + "Total Runtime:  sec.\n", "out:5: unexpected line 'Total Runtime:  sec.'"},
           {one + footer(2), "out:6: the output counts 2 patterns, but holds 1"},
           {one + "Total Runtime: 0 sec.\nTotal Number of patterns: one\n",
            "out:6: expected \"Total Number of patterns: <count>\""},
           {one + "Total Runtime: 0 sec.\nTotal Number of patterns: 1\n***\n",
            "out:7: expected the closing line of 47 asterisks"},
           {one + footer(1) + " \n", "out:8: text after the end of the miner's output"}}) {
    std::vector<OutputPattern> patterns;
    bool complete = false;
    std::string error;
    EXPECT_EQ(readAll(c.text, &patterns, &complete, &error), -1) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(MinerOutputTest, NumbersAndCountsPastTwoToTheThirtyOne) {
  // As if 2^31 - 1 patterns had been read already: the next one and the
  // count line pass the int range.
  MinerOutputReader reader;
  reader.lines = LineInput::overText("Pattern 2147483648 Support = 3: \n1-2\t\n\n" +
                                     closingLines(2147483648LL, 2147483648LL));
  reader.name = "out";
  reader.state = MinerOutputReader::State::kPatterns;
  reader.patternsRead = 2147483647;
  OutputPattern pattern;
  ASSERT_EQ(nextPattern(&reader, &pattern), 1) << reader.failure.message();
  EXPECT_EQ(pattern.number, 2147483648LL);
  ASSERT_EQ(nextPattern(&reader, &pattern), 0) << reader.failure.message();
  EXPECT_TRUE(reader.complete);
  EXPECT_EQ(reader.patternCount, 2147483648LL);
  EXPECT_EQ(reader.runtime, "2.14748e+06");  // milliseconds past the int range too
  // A number past 64 bits is no pattern number.
  reader = MinerOutputReader{};
  reader.lines = LineInput::overText(" \nPattern 99999999999999999999 Support = 3: \n1-2\t\n\n");
  reader.name = "out";
  EXPECT_EQ(nextPattern(&reader, &pattern), -1);
  EXPECT_EQ(reader.failure.message(),
            "out:2: unexpected line 'Pattern 99999999999999999999 Support = 3: '");
}

TEST(MinerOutputWriterTest, ABlockOfTheLargestNumbersFitsItsBound) {
  // Ten-digit items: the longest edges there are.
  const Edge edges[] = {{INT_MAX, INT_MAX - 1}, {INT_MAX - 1, INT_MAX}, {INT_MAX - 2, INT_MAX}};
  for (std::size_t count : {0u, 1u, 3u}) {
    Pattern pattern{INT_MAX, std::span<const Edge>(edges, count)};
    std::vector<char> room(patternBlockBound(count));
    char* end = writePatternBlock(room.data(), UINT64_MAX, pattern);
    ASSERT_LE(end, room.data() + room.size()) << count << " edges";
    std::string text(room.data(), end);
    EXPECT_EQ(text.substr(0, 52), "Pattern 18446744073709551615 Support = 2147483647: \n");
    EXPECT_EQ(text.size(), 52 + 22 * count + 2);
  }
}

TEST(MinerOutputWriterTest, NumbersCountedInTheirTextMatchTheWrittenNumbers) {
  // Past every carry into a new digit up to seven digits.
  PatternNumbers numbers;
  char counted[PatternNumbers::kRoom];
  char written[28];
  for (std::uint64_t number = 1; number <= 1000001; ++number) {
    std::string_view got(counted, static_cast<std::size_t>(numbers.writeNext(counted) - counted));
    std::string_view expected(
        written, static_cast<std::size_t>(writePatternNumber(written, number) - written));
    ASSERT_EQ(got, expected);
  }
}

}  // namespace
}  // namespace tavrel::formats
