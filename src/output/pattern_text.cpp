#include "output/pattern_text.h"

#include <cassert>
#include <cstring>

namespace tavrel::output {

namespace {

// "00" "01" ... "99": the two digits of each value below 100.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The number of decimal digits of `value` (1 for 0).
int decimalLength(std::uint64_t value) {
  int length = 1;
  for (;;) {
    if (value < 10) return length;
    if (value < 100) return length + 1;
    if (value < 1000) return length + 2;
    if (value < 10000) return length + 3;
    value /= 10000;
    length += 4;
  }
}

// Copies the literal `text` (without its terminating zero) to `out`;
// returns the end.
template <std::size_t N>
char* putLiteral(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + (N - 1);
}

}  // namespace

char* putDecimal(char* out, std::uint64_t value) {
  char* const end = out + decimalLength(value);
  char* next = end;
  while (value >= 100) {
    next -= 2;
    std::memcpy(next, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    std::memcpy(next - 2, kDigitPairs + 2 * value, 2);
  } else {
    next[-1] = static_cast<char>('0' + value);
  }
  return end;
}

char* putPatternHeader(char* out, std::uint64_t number, int support) {
  assert(support >= 0);
  out = putLiteral(out, "Pattern ");
  out = putDecimal(out, number);
  out = putLiteral(out, " Support = ");
  out = putDecimal(out, static_cast<std::uint32_t>(support));
  return putLiteral(out, ": \n");
}

char* putPatternEdge(char* out, int from, int to) {
  assert(from >= 0 && to >= 0);
  out = putDecimal(out, static_cast<std::uint32_t>(from));
  *out++ = '-';
  out = putDecimal(out, static_cast<std::uint32_t>(to));
  *out++ = '\t';
  return out;
}

char* putPatternEnd(char* out) { return putLiteral(out, "\n\n"); }

std::size_t formatPatternBlock(char* out, std::uint64_t number, int support,
                               std::span<const PatternEdge> edges) {
  char* next = putPatternHeader(out, number, support);
  for (const PatternEdge& edge : edges) next = putPatternEdge(next, edge.from, edge.to);
  next = putPatternEnd(next);
  return static_cast<std::size_t>(next - out);
}

}  // namespace tavrel::output
