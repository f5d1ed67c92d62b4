#include "base/decimal_text.h"

#include <cstring>

namespace tavrel {

namespace {

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

char* writeDecimal(char* out, std::uint64_t value) {
  char digits[20];
  char* end = digits + sizeof digits;
  char* first = end;
  while (value >= 100) {
    std::uint64_t pair = value % 100;
    value /= 100;
    first -= 2;
    std::memcpy(first, kPairs + pair * 2, 2);
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kPairs + value * 2, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  std::size_t length = static_cast<std::size_t>(end - first);
  std::memcpy(out, first, length);
  return out + length;
}

}  // namespace tavrel
