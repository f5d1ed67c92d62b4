// xs:dateTime values of XES logs, read into microseconds (declared in
// prep/xes_reader.h).
#include <string_view>

#include "prep/xes_reader.h"

namespace tavrel::tools {

namespace {

// Reads exactly `count` digits at `text[*at]` into `value`.
bool digits(std::string_view text, std::size_t* at, int count, long long* value) {
  if (*at + static_cast<std::size_t>(count) > text.size()) return false;
  *value = 0;
  for (int k = 0; k < count; ++k) {
    char c = text[(*at)++];
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + (c - '0');
  }
  return true;
}

// True when text[*at] is `c`, stepping over it.
bool literal(std::string_view text, std::size_t* at, char c) {
  if (*at >= text.size() || text[*at] != c) return false;
  ++*at;
  return true;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
long long daysFromCivil(long long year, long long month, long long day) {
  year -= month <= 2 ? 1 : 0;
  long long era = (year >= 0 ? year : year - 399) / 400;
  long long yearOfEra = year - era * 400;
  long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

// The fraction of a second after the point, in microseconds (digits past
// the sixth are read and dropped).
bool fraction(std::string_view text, std::size_t* at, long long* micros) {
  *micros = 0;
  if (!literal(text, at, '.')) return true;
  int read = 0;
  while (*at < text.size() && text[*at] >= '0' && text[*at] <= '9') {
    if (read < 6) *micros = *micros * 10 + (text[*at] - '0');
    ++read;
    ++*at;
  }
  for (int k = read; k < 6; ++k) *micros *= 10;
  return read > 0;
}

// The zone's offset from UTC in seconds: "Z", "+hh:mm", "-hh:mm" or none.
bool zone(std::string_view text, std::size_t* at, long long* offset) {
  *offset = 0;
  if (*at == text.size() || literal(text, at, 'Z')) return *at == text.size();
  char sign = text[(*at)++];
  long long hours = 0;
  long long minutes = 0;
  if ((sign != '+' && sign != '-') || !digits(text, at, 2, &hours) || !literal(text, at, ':') ||
      !digits(text, at, 2, &minutes) || hours > 14 || minutes > 59) {
    return false;
  }
  *offset = (sign == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
  return *at == text.size();
}

}  // namespace

bool parseXesTime(std::string_view text, long long* micros) {
  std::size_t at = 0;
  long long year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, part = 0, offset = 0;
  if (!digits(text, &at, 4, &year) || !literal(text, &at, '-') || !digits(text, &at, 2, &month) ||
      !literal(text, &at, '-') || !digits(text, &at, 2, &day) || !literal(text, &at, 'T') ||
      !digits(text, &at, 2, &hour) || !literal(text, &at, ':') || !digits(text, &at, 2, &minute) ||
      !literal(text, &at, ':') || !digits(text, &at, 2, &second) || !fraction(text, &at, &part) ||
      !zone(text, &at, &offset)) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 24 || minute > 59 || second > 60) {
    return false;
  }
  long long seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  *micros = (seconds - offset) * 1000000 + part;
  return true;
}

}  // namespace tavrel::tools
