// The order of timestamps in an event log. When every timestamp of the
// column is a decimal number (an optional sign, digits, and optionally a
// point and more digits), they compare as numbers, exactly, so "9" comes
// before "10" and "1.50" equals "1.5". Otherwise they compare as text, byte
// by byte, which orders ISO 8601 dates and times correctly as long as they
// are written alike (same precision, same time zone, zero-padded fields).
#pragma once

#include <string_view>

namespace tavrel::tools {

// True when `text` is a decimal number as described above.
bool isDecimalNumber(std::string_view text);

// Compares two decimal numbers by value: negative, zero or positive as `a`
// is below, equal to or above `b`. Both must satisfy isDecimalNumber().
int compareDecimalNumbers(std::string_view a, std::string_view b);

}  // namespace tavrel::tools
