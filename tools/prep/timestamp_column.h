// The timestamp column of an event log, taken in value by value: which
// order its values can be sorted in, or why they cannot be. With a
// strptime format every value is read into seconds. Without one, numbers
// compare as numbers, and other text compares as text only when all of it
// has one shape that starts with the year (see timestamp_order.h);
// anything else is refused rather than sorted wrongly.
#pragma once

#include <string>

namespace tavrel::tools {

enum class TimeOrder { kFileOrder, kNumeric, kText, kFormatted };

struct TimeKey {
  std::string text;       // the value as written, for numeric and text order
  long long seconds = 0;  // the value read with the format, for formatted order
};

struct TimestampColumn {
  std::string format;  // strptime format; empty: numbers or text
  bool allNumeric = true;
  std::string firstValue;
  long firstLine = 0;
  std::string firstShape;
  std::string otherValue;  // the first value whose shape differs from firstValue's
  long otherLine = 0;
  std::string textValue;  // the first value that is not a number
  long textLine = 0;
};

// Takes in the value of line `line` and sets its `key`. Returns 0, or -1
// with a reason when the value does not match the column's format.
int addTimestamp(TimestampColumn* column, std::string value, long line, TimeKey* key,
                 std::string* reason);

// Decides the order of the values taken in (at least one). Returns 0, or
// -1 with a reason and the line it concerns when text timestamps have
// different shapes or do not start with the year.
int decideTimeOrder(const TimestampColumn& column, TimeOrder* order, long* line,
                    std::string* reason);

// True when `a` comes before `b` in `order` (kNumeric, kText or
// kFormatted).
bool timeBefore(const TimeKey& a, const TimeKey& b, TimeOrder order);

}  // namespace tavrel::tools
