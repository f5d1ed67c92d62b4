#include "base/decimal_text.h"

namespace tavrel {

char* writeLongDecimal(char* out, std::uint64_t value) {
  // From the last pair back into a scratch, then moved into place.
  char digits[20];
  char* end = digits + sizeof digits;
  char* first = end;
  while (value >= 100) {
    first -= 2;
    std::memcpy(first, kDigitPairs + value % 100 * 2, 2);
    value /= 100;
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kDigitPairs + value * 2, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  std::size_t length = static_cast<std::size_t>(end - first);
  std::memcpy(out, first, length);
  return out + length;
}

}  // namespace tavrel
