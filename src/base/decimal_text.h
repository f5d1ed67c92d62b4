// Writing numbers as decimal text, fast: two digits at a time from a table.
#pragma once

#include <cstdint>
#include <cstring>

namespace tavrel {

// The two digits of 0 .. 99, in order.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes any `value` as writeDecimal() does (its way for five digits and more).
char* writeLongDecimal(char* out, std::uint64_t value);

// Writes `value` in plain decimal (no sign, no padding) at `out` and
// returns the position after its last digit. Needs room for 20 characters.
inline char* writeDecimal(char* out, std::uint64_t value) {
  // Item numbers and supports are mostly short: up to four digits go
  // straight into place, with no loop, no call and no copy of unknown length.
  if (value >= 10000) return writeLongDecimal(out, value);
  if (value < 10) {
    *out = static_cast<char>('0' + value);
    return out + 1;
  }
  if (value < 100) {
    std::memcpy(out, kDigitPairs + value * 2, 2);
    return out + 2;
  }
  if (value < 1000) {
    *out = static_cast<char>('0' + value / 100);
    std::memcpy(out + 1, kDigitPairs + value % 100 * 2, 2);
    return out + 3;
  }
  std::memcpy(out, kDigitPairs + value / 100 * 2, 2);
  std::memcpy(out + 2, kDigitPairs + value % 100 * 2, 2);
  return out + 4;
}

}  // namespace tavrel
