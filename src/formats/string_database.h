// The string database: one string per line, a count n followed by n item
// numbers, each separated from the next by one or more blanks (only the
// blank separates: a tab is part of a token). Every line is checked the
// same way, so a pass never sees a line that another would reject. The
// writer gives the plain form: single blanks and a '\n' after each string.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "base/line_input.h"
#include "base/report.h"

namespace tavrel::formats {

// The result of nextNumber(): the converted value and whether it had digits.
struct NumberToken {
  long long value = 0;
  bool hasDigits = false;
};

// Reads the next blank-separated number of `line` from `position` and moves
// `position` past the token, to the next blank or to the end of the line's
// text (its length, or an earlier NUL byte); it never moves past that end.
// What stands between a token's digits and the next blank is skipped
// unread, so "5abc" and "7\r\n" read as 5 and 7. At the end of the text the
// result has no digits.
NumberToken nextNumber(const LineView& line, std::size_t& position);

// What is wrong with a string.
enum LineDefect {
  kLineOk = 0,
  kBadNumberOfItems,  // count outside 1..maxItemLength; item missing, not a number or negative
  kItemOutOfRange,    // item number >= totalItems
  kRepeatedItem,      // item number already earlier in the same string
};

// The sizes a string is checked against, and the memory the check uses.
struct StringRules {
  int totalItems = 0;
  int maxItemLength = 0;
  int* seenInRow = nullptr;  // totalItems entries: the last row that held each item
};

// Parses line `row` (1-based) into `items` (room for maxItemLength) and
// sets `count`, or returns the line's defect.
LineDefect parseStringLine(const LineView& line, int row, const StringRules& rules, int* items,
                           int* count);

// Checks a string given as numbers, as a line holding them would be
// checked.
LineDefect checkString(const int* items, std::size_t count, int row, const StringRules& rules);

// Reports a defective line: "row #<row>: error <reason>", a line end, then
// the line exactly as it was read, with its own line end if it had one.
void reportDefectiveLine(Report& report, int row, LineDefect defect, const LineView& line);

// The database line of a string: "<n> <item> <item> ...\n".
std::string stringLine(std::span<const int> items);

// The database of `strings`: their lines in order.
std::string databaseText(const std::vector<std::vector<int>>& strings);

}  // namespace tavrel::formats
