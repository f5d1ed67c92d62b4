#include "input/decimal.h"

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

}  // namespace tavrel
