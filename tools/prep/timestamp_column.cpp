#include "prep/timestamp_column.h"

#include "common/report.h"
#include "prep/timestamp_order.h"

namespace tavrel::tools {

namespace {

constexpr const char* kFormatAdvice =
    "give their format with --time-format (strptime style, e.g. '%d/%m/%Y %H:%M')";

}  // namespace

int addTimestamp(TimestampColumn* column, std::string value, long line, TimeKey* key,
                 std::string* reason) {
  if (!column->format.empty()) {
    if (!parseTimestamp(value, column->format, &key->seconds)) {
      *reason = "timestamp " + inQuotes(value) + " does not match --time-format " +
                inQuotes(column->format);
      return -1;
    }
    return 0;
  }
  if (column->textLine == 0 && !isDecimalNumber(value)) {
    column->allNumeric = false;
    column->textValue = value;
    column->textLine = line;
  }
  if (column->firstLine == 0) {
    column->firstValue = value;
    column->firstLine = line;
    column->firstShape = timestampShape(value);
  } else if (column->otherLine == 0 && timestampShape(value) != column->firstShape) {
    column->otherValue = value;
    column->otherLine = line;
  }
  key->text = std::move(value);
  return 0;
}

int decideTimeOrder(const TimestampColumn& column, TimeOrder* order, long* line,
                    std::string* reason) {
  if (!column.format.empty() || column.allNumeric) {
    *order = column.format.empty() ? TimeOrder::kNumeric : TimeOrder::kFormatted;
    return 0;
  }
  if (column.otherLine != 0) {
    // Of numbers mixed with text, a number and the first text are named.
    bool mixed = column.textLine != column.firstLine;
    *line = mixed ? column.textLine : column.otherLine;
    *reason = "timestamps of different shapes, " + inQuotes(column.firstValue) + " (line " +
              std::to_string(column.firstLine) + ") and " +
              inQuotes(mixed ? column.textValue : column.otherValue) +
              ", cannot be compared as text; " + kFormatAdvice;
    return -1;
  }
  if (!startsWithYear(column.firstShape)) {
    *line = column.firstLine;
    *reason = "timestamps such as " + inQuotes(column.firstValue) +
              " do not start with a four-digit year, so their text order is not their time "
              "order; " +
              kFormatAdvice;
    return -1;
  }
  *order = TimeOrder::kText;
  return 0;
}

bool timeBefore(const TimeKey& a, const TimeKey& b, TimeOrder order) {
  switch (order) {
    case TimeOrder::kNumeric:
      return compareDecimalNumbers(a.text, b.text) < 0;
    case TimeOrder::kFormatted:
      return a.seconds < b.seconds;
    default:
      return a.text < b.text;
  }
}

}  // namespace tavrel::tools
