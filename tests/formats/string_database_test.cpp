// The tokenizer of the database's lines.
#include "formats/string_database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrel {
namespace {

// Reads every token of `text` until the position stops moving.
std::vector<formats::NumberToken> tokens(const std::string& text, int count) {
  LineView line{text.data(), text.size()};
  std::size_t position = 0;
  std::vector<formats::NumberToken> result;
  for (int k = 0; k < count; ++k) {
    result.push_back(formats::nextNumber(line, position));
    EXPECT_LE(position, text.size());
  }
  return result;
}

TEST(NextNumberTest, ReadsBlankSeparatedTokens) {
  std::vector<formats::NumberToken> got = tokens("  3 5   0 1 \n", 5);
  EXPECT_EQ(got[0].value, 3);
  EXPECT_EQ(got[1].value, 5);
  EXPECT_EQ(got[2].value, 0);
  EXPECT_TRUE(got[2].hasDigits);
  EXPECT_EQ(got[3].value, 1);
  EXPECT_FALSE(got[4].hasDigits);  // only the line end is left
}

TEST(NextNumberTest, SkipsWhatFollowsTheDigitsUpToTheNextBlank) {
  std::vector<formats::NumberToken> got = tokens("5abc 7\r\n", 3);
  EXPECT_EQ(got[0].value, 5);
  EXPECT_EQ(got[1].value, 7);
  EXPECT_FALSE(got[2].hasDigits);

  // A tab does not separate: "2\t9" is one token, read as 2.
  got = tokens("2\t9 4", 2);
  EXPECT_EQ(got[0].value, 2);
  EXPECT_EQ(got[1].value, 4);

  got = tokens("x -4 +6", 3);
  EXPECT_FALSE(got[0].hasDigits);
  EXPECT_EQ(got[1].value, -4);
  EXPECT_EQ(got[2].value, 6);
}

TEST(NextNumberTest, NeverMovesPastTheEndOfTheText) {
  std::string text("2 1\0 3 4", 8);
  LineView line{text.data(), text.size()};
  std::size_t position = 0;
  EXPECT_EQ(formats::nextNumber(line, position).value, 2);
  EXPECT_EQ(formats::nextNumber(line, position).value, 1);
  EXPECT_EQ(position, 3u);  // stopped at the NUL, which ends the text
  for (int k = 0; k < 3; ++k) {
    EXPECT_FALSE(formats::nextNumber(line, position).hasDigits);
    EXPECT_EQ(position, 3u);
  }
  std::size_t end = 0;
  LineView empty{"", 0};
  EXPECT_FALSE(formats::nextNumber(empty, end).hasDigits);
  EXPECT_EQ(end, 0u);
}

}  // namespace
}  // namespace tavrel
