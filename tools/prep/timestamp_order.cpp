#include "prep/timestamp_order.h"

#include <ctime>

namespace tavrel::tools {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct DecimalParts {
  bool negative = false;
  std::string_view whole;     // without leading zeros
  std::string_view fraction;  // without trailing zeros
};

DecimalParts splitDecimal(std::string_view text) {
  DecimalParts parts;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    parts.negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::size_t point = text.find('.');
  parts.whole = text.substr(0, point);
  if (point != std::string_view::npos) parts.fraction = text.substr(point + 1);
  while (!parts.whole.empty() && parts.whole[0] == '0') parts.whole.remove_prefix(1);
  while (!parts.fraction.empty() && parts.fraction.back() == '0') parts.fraction.remove_suffix(1);
  if (parts.whole.empty() && parts.fraction.empty()) parts.negative = false;  // -0 is 0
  return parts;
}

int compareMagnitudes(const DecimalParts& a, const DecimalParts& b) {
  if (a.whole.size() != b.whole.size()) return a.whole.size() < b.whole.size() ? -1 : 1;
  int wholeOrder = a.whole.compare(b.whole);
  if (wholeOrder != 0) return wholeOrder;
  return a.fraction.compare(b.fraction);
}

}  // namespace

bool isDecimalNumber(std::string_view text) {
  std::size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  std::size_t digitsStart = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  if (i == digitsStart) return false;
  if (i == text.size()) return true;
  if (text[i] != '.') return false;
  std::size_t fractionStart = ++i;
  while (i < text.size() && isDigit(text[i])) ++i;
  return i > fractionStart && i == text.size();
}

int compareDecimalNumbers(std::string_view a, std::string_view b) {
  DecimalParts left = splitDecimal(a);
  DecimalParts right = splitDecimal(b);
  if (left.negative != right.negative) return left.negative ? -1 : 1;
  int order = compareMagnitudes(left, right);
  order = order < 0 ? -1 : order > 0 ? 1 : 0;
  return left.negative ? -order : order;
}

std::string timestampShape(std::string_view text) {
  std::string shape(text);
  for (char& c : shape) {
    if (isDigit(c)) c = '9';
  }
  return shape;
}

bool startsWithYear(std::string_view shape) { return shape.substr(0, 4) == "9999"; }

bool parseTimestamp(const std::string& text, const std::string& format, long long* seconds) {
  std::tm fields{};
  fields.tm_mday = 1;  // for formats without a day
  const char* end = ::strptime(text.c_str(), format.c_str(), &fields);
  if (end == nullptr || *end != '\0') return false;
  long offset = fields.tm_gmtoff;  // set by %z; timegm() would reset it
  *seconds = static_cast<long long>(::timegm(&fields)) - offset;
  return true;
}

}  // namespace tavrel::tools
