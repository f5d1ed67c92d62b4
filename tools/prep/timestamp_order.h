// The order of timestamps in an event log. When every timestamp of the
// column is a decimal number (an optional sign, digits, and optionally a
// point and more digits), they compare as numbers, exactly, so "9" comes
// before "10" and "1.50" equals "1.5". Otherwise they compare as text, byte
// by byte, which orders ISO 8601 dates and times correctly as long as they
// are written alike (same precision, same time zone, zero-padded fields):
// they must all have one shape, and it must start with the year. Other
// formats are read with a strptime format into seconds.
#pragma once

#include <string>
#include <string_view>

namespace tavrel::tools {

// True when `text` is a decimal number as described above.
bool isDecimalNumber(std::string_view text);

// Compares two decimal numbers by value: negative, zero or positive as `a`
// is below, equal to or above `b`. Both must satisfy isDecimalNumber().
int compareDecimalNumbers(std::string_view a, std::string_view b);

// The shape of a timestamp: its text with every digit replaced by '9'.
// Timestamps of one shape have their digits in the same places, so text
// order compares them field by field ("2024-03-05" and "2024-11-30" have
// the shape "9999-99-99"; "4/3/2024" and "10/3/2024" differ in shape).
std::string timestampShape(std::string_view text);

// True when `shape` starts with four digits, as a timestamp that starts
// with the year does; text order is then time order for one shape.
bool startsWithYear(std::string_view shape);

// Reads `text` with the strptime format `format` (in the C locale) into
// seconds since 1970 in UTC; a time zone read with %z is taken into
// account, other times count as UTC. False when the format does not match
// the whole text.
bool parseTimestamp(const std::string& text, const std::string& format, long long* seconds);

}  // namespace tavrel::tools
