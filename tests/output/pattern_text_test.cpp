// The exact bytes of pattern blocks and of the integers in them.
#include "output/pattern_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrel::output {
namespace {

std::string block(std::uint64_t number, int support, const std::vector<PatternEdge>& edges) {
  std::string text(maxPatternBlockBytes(edges.size()), '\0');
  text.resize(formatPatternBlock(text.data(), number, support, edges));
  return text;
}

std::string decimal(std::uint64_t value) {
  char text[20];
  return std::string(text, putDecimal(text, value));
}

TEST(PatternTextTest, IntegersAreWrittenInPlainDecimal) {
  for (std::uint64_t value = 0; value < 100000; ++value) {
    ASSERT_EQ(decimal(value), std::to_string(value));
  }
  // Each length from both sides of its power of ten, up to the largest.
  for (std::uint64_t power = 10; power <= UINT64_MAX / 10; power *= 10) {
    EXPECT_EQ(decimal(power - 1), std::to_string(power - 1));
    EXPECT_EQ(decimal(power), std::to_string(power));
    EXPECT_EQ(decimal(power + 1), std::to_string(power + 1));
  }
  EXPECT_EQ(decimal(UINT64_MAX), "18446744073709551615");
}

TEST(PatternTextTest, BlocksHaveTheExactBytes) {
  EXPECT_EQ(block(1, 0, {{0, 0}}), "Pattern 1 Support = 0: \n0-0\t\n\n");
  EXPECT_EQ(block(7, 3, {}), "Pattern 7 Support = 3: \n\n\n");
  EXPECT_EQ(block(2147483648ULL, 10, {{9, 10}, {99, 100}}),
            "Pattern 2147483648 Support = 10: \n9-10\t99-100\t\n\n");
  EXPECT_EQ(block(4294967296ULL, 1000000000, {{1000000000, 999999999}}),
            "Pattern 4294967296 Support = 1000000000: \n1000000000-999999999\t\n\n");
  // The largest values fill the reserved bound exactly.
  std::vector<PatternEdge> widest(3, PatternEdge{INT_MAX, INT_MAX});
  std::string text = block(UINT64_MAX, INT_MAX, widest);
  EXPECT_EQ(text.size(), maxPatternBlockBytes(widest.size()));
  EXPECT_EQ(text,
            "Pattern 18446744073709551615 Support = 2147483647: \n"
            "2147483647-2147483647\t2147483647-2147483647\t2147483647-2147483647\t\n\n");
}

TEST(PatternTextTest, ManyEdgesFollowInOrder) {
  std::vector<PatternEdge> edges;
  std::string expected = "Pattern 123456789012 Support = 42: \n";
  for (int k = 0; k < 5000; ++k) {
    edges.push_back({k * 7, 40000 - k});
    expected += std::to_string(k * 7) + "-" + std::to_string(40000 - k) + "\t";
  }
  expected += "\n\n";
  EXPECT_EQ(block(123456789012ULL, 42, edges), expected);
}

}  // namespace
}  // namespace tavrel::output
