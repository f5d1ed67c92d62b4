#include "base/decimal.h"

#include <cstdint>
#include <cstring>

namespace tavrel {

namespace {
bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}  // namespace

DecimalValue convertDecimal(const char* text, std::size_t length, std::size_t start) {
  std::size_t i = start;
  while (i < length && isWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  DecimalValue result;
  long long magnitude = 0;
  while (i < length && text[i] >= '0' && text[i] <= '9') {
    result.hasDigits = true;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kDecimalLimit) magnitude = kDecimalLimit;
    ++i;
  }
  result.value = negative ? -magnitude : magnitude;
  return result;
}

DecimalValue convertDecimal(const char* text) { return convertDecimal(text, std::strlen(text), 0); }

bool parseWholeInt(std::string_view token, int* value) {
  std::size_t digitsStart = !token.empty() && token[0] == '-' ? 1 : 0;
  if (token.size() == digitsStart) return false;
  for (std::size_t i = digitsStart; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return false;
  }
  DecimalValue converted = convertDecimal(token.data(), token.size(), 0);
  if (!fitsInInt(converted.value)) return false;
  *value = static_cast<int>(converted.value);
  return true;
}

bool parseWholeCount(std::string_view token, std::int64_t* value) {
  if (token.empty()) return false;
  std::uint64_t magnitude = 0;
  constexpr std::uint64_t kMax = static_cast<std::uint64_t>(INT64_MAX);
  for (char c : token) {
    if (c < '0' || c > '9') return false;
    auto digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > (kMax - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  *value = static_cast<std::int64_t>(magnitude);
  return true;
}

}  // namespace tavrel
