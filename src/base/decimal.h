// The decimal conversion used for every number the miner reads: the
// command-line min_sup, the spec file's values and the database's tokens.
// Leading white space is skipped, an optional '+' or '-' is taken, then the
// decimal digits up to the first character that is not a digit. Text that
// starts with no digit converts to 0.
//
// The companion programs and the reader of the miner's output take numbers
// by a strict rule instead (parseWholeInt, parseWholeCount): the whole token
// must be a number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tavrel {

// Magnitudes are held to this bound while digits are read, so a long run of
// digits cannot overflow; every such value is outside the int range anyway.
constexpr long long kDecimalLimit = 1LL << 40;

struct DecimalValue {
  long long value = 0;     // the converted value, |value| <= kDecimalLimit
  bool hasDigits = false;  // false when no digit followed the optional sign
};

// Converts text[start .. length); the text also ends at a NUL byte.
DecimalValue convertDecimal(const char* text, std::size_t length, std::size_t start);

// Converts a NUL-terminated string.
DecimalValue convertDecimal(const char* text);

// True when the value fits in an int.
inline bool fitsInInt(long long value) { return value >= -2147483648LL && value <= 2147483647LL; }

// Converts `token` into `value` when the whole token is an optional '-'
// followed by decimal digits, within the int range. Returns false
// otherwise; `value` is then unchanged.
bool parseWholeInt(std::string_view token, int* value);

// Converts `token` into `value` when the whole token is decimal digits (no
// sign) whose value fits in 64 bits: the counts and pattern numbers of an
// output, which can pass 2^31. Returns false otherwise; `value` is then
// unchanged.
bool parseWholeCount(std::string_view token, std::int64_t* value);

}  // namespace tavrel
