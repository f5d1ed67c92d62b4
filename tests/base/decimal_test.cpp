// The decimal conversion rule that every number read goes through.
#include "base/decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tavrel {
namespace {

TEST(DecimalTest, ConvertsLeadingDecimalIntegers) {
  EXPECT_EQ(convertDecimal("25").value, 25);
  EXPECT_EQ(convertDecimal(" \t25x").value, 25);
  EXPECT_EQ(convertDecimal("+7\n").value, 7);
  EXPECT_EQ(convertDecimal("-3").value, -3);
  EXPECT_EQ(convertDecimal("007").value, 7);
  EXPECT_TRUE(convertDecimal("0").hasDigits);
  for (const char* noDigits : {"", "x12", "-", "+ 5", " ", "\n"}) {
    DecimalValue converted = convertDecimal(noDigits);
    EXPECT_EQ(converted.value, 0) << noDigits;
    EXPECT_FALSE(converted.hasDigits) << noDigits;
  }
}

TEST(DecimalTest, HugeValuesSaturateOutsideTheIntRange) {
  DecimalValue big = convertDecimal("99999999999999999999999999");
  EXPECT_EQ(big.value, kDecimalLimit);
  EXPECT_FALSE(fitsInInt(big.value));
  EXPECT_EQ(convertDecimal("-99999999999999999999").value, -kDecimalLimit);
  EXPECT_TRUE(fitsInInt(convertDecimal("2147483647").value));
  EXPECT_FALSE(fitsInInt(convertDecimal("2147483648").value));
  EXPECT_TRUE(fitsInInt(convertDecimal("-2147483648").value));
}

TEST(DecimalTest, WholeCountsTakeEverySixtyFourBitValueAndNothingElse) {
  std::int64_t value = 7;
  EXPECT_TRUE(parseWholeCount("4294967296", &value));  // past every 32-bit count
  EXPECT_EQ(value, std::int64_t{1} << 32);
  EXPECT_TRUE(parseWholeCount("9223372036854775807", &value));
  EXPECT_EQ(value, std::numeric_limits<std::int64_t>::max());
  EXPECT_TRUE(parseWholeCount("007", &value));
  EXPECT_EQ(value, 7);
  for (const char* bad :
       {"", "-1", "+1", "1x", " 1", "9223372036854775808", "99999999999999999999999"}) {
    EXPECT_FALSE(parseWholeCount(bad, &value)) << bad;
    EXPECT_EQ(value, 7) << bad;
  }
}

}  // namespace
}  // namespace tavrel
