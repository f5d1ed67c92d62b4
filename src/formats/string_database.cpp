#include "formats/string_database.h"

#include <algorithm>

#include "base/decimal.h"

namespace tavrel::formats {

NumberToken nextNumber(const LineView& line, std::size_t& position) {
  const char* text = line.text;
  std::size_t length = line.length;
  while (position < length && text[position] == ' ') ++position;
  if (position < length && text[position] >= '0' && text[position] <= '9') {
    // The common token, plain digits, read here; it converts as below. Up
    // to 18 digits cannot overflow, so the limit is applied once at the end.
    // (Unsigned, so that a longer run of digits wraps harmlessly before it
    // is converted again.)
    std::size_t start = position;
    unsigned long long digits = 0;
    do {
      digits = digits * 10 + static_cast<unsigned>(text[position] - '0');
      ++position;
    } while (position < length && text[position] >= '0' && text[position] <= '9');
    long long value = static_cast<long long>(digits);
    if (position - start > 18) {
      value = 0;
      for (std::size_t k = start; k < position; ++k) {
        value = std::min(value * 10 + (text[k] - '0'), kDecimalLimit);
      }
    }
    value = std::min(value, kDecimalLimit);
    while (position < length && text[position] != ' ' && text[position] != '\0') ++position;
    return NumberToken{value, true};
  }
  DecimalValue converted = convertDecimal(text, length, position);
  while (position < length && text[position] != ' ' && text[position] != '\0') ++position;
  return NumberToken{converted.value, converted.hasDigits};
}

namespace {

// Checks one item of string `row` and marks it seen.
LineDefect checkItem(long long item, bool hasDigits, int row, const StringRules& rules) {
  if (!hasDigits || item < 0) return kBadNumberOfItems;
  if (item >= rules.totalItems) return kItemOutOfRange;
  int number = static_cast<int>(item);
  if (rules.seenInRow[number] == row) return kRepeatedItem;
  rules.seenInRow[number] = row;
  return kLineOk;
}

}  // namespace

LineDefect parseStringLine(const LineView& line, int row, const StringRules& rules, int* items,
                           int* count) {
  std::size_t position = 0;
  NumberToken n = nextNumber(line, position);
  if (n.value <= 0 || n.value > rules.maxItemLength) return kBadNumberOfItems;
  int length = static_cast<int>(n.value);
  for (int k = 0; k < length; ++k) {
    NumberToken item = nextNumber(line, position);
    LineDefect defect = checkItem(item.value, item.hasDigits, row, rules);
    if (defect != kLineOk) return defect;
    items[k] = static_cast<int>(item.value);
  }
  *count = length;
  return kLineOk;
}

LineDefect checkString(const int* items, std::size_t count, int row, const StringRules& rules) {
  if (count == 0 || count > static_cast<std::size_t>(rules.maxItemLength)) {
    return kBadNumberOfItems;
  }
  for (std::size_t k = 0; k < count; ++k) {
    LineDefect defect = checkItem(items[k], true, row, rules);
    if (defect != kLineOk) return defect;
  }
  return kLineOk;
}

void reportDefectiveLine(Report& report, int row, LineDefect defect, const LineView& line) {
  report.raw("row #");
  report.raw(std::to_string(row));
  switch (defect) {
    case kItemOutOfRange:
      report.line(": error item out of range");
      break;
    case kRepeatedItem:
      report.line(": error repeated item");
      break;
    default:
      report.line(": error number of items");
      break;
  }
  report.raw(std::string_view(line.text, line.length));
}

std::string stringLine(std::span<const int> items) {
  std::string line = std::to_string(items.size());
  for (int item : items) {
    line.push_back(' ');
    line.append(std::to_string(item));
  }
  line.push_back('\n');
  return line;
}

std::string databaseText(const std::vector<std::vector<int>>& strings) {
  std::string text;
  for (const std::vector<int>& items : strings) text.append(stringLine(items));
  return text;
}

}  // namespace tavrel::formats
