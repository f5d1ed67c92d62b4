#include <cstdio>
#include <cstring>

#include "base/decimal_text.h"
#include "formats/miner_output.h"

namespace tavrel::formats {

char* writePatternBlock(char* out, std::uint64_t number, const Pattern& pattern) {
  return writePatternAfterNumber(writePatternNumber(out, number), pattern);
}

char* writePatternNumber(char* out, std::uint64_t number) {
  std::memcpy(out, "Pattern ", 8);
  return writeDecimal(out + 8, number);
}

char* PatternNumbers::writeNext(char* out) {
  std::size_t at = length_;
  while (at > 8 && text_[at - 1] == '9') text_[--at] = '0';
  if (at > 8) {
    ++text_[at - 1];
  } else {  // 9...9 turns into 10...0
    text_[8] = '1';
    text_[length_++] = '0';
  }
  std::memcpy(out, text_, kRoom);
  return out + length_;
}

char* writePatternAfterNumber(char* out, const Pattern& pattern) {
  std::memcpy(out, " Support = ", 11);
  out = writeDecimal(out + 11, static_cast<std::uint64_t>(pattern.support));
  std::memcpy(out, ": \n", 3);
  out += 3;
  for (const Edge& edge : pattern.edges) {
    out = writeDecimal(out, static_cast<std::uint64_t>(edge.before));
    *out++ = '-';
    out = writeDecimal(out, static_cast<std::uint64_t>(edge.after));
    *out++ = '\t';
  }
  *out++ = '\n';
  *out++ = '\n';
  return out;
}

std::string runtimeLine(long long milliseconds) {
  char seconds[64];
  int length = std::snprintf(seconds, sizeof seconds, "%g",
                             static_cast<double>(static_cast<int>(milliseconds)) / 1000.0);
  std::string line = "Total Runtime: ";
  line.append(seconds, static_cast<std::size_t>(length > 0 ? length : 0));
  line.append(" sec.\n");
  return line;
}

std::string closingLines(long long milliseconds, std::int64_t patterns) {
  std::string lines = runtimeLine(milliseconds);
  lines.append("Total Number of patterns: ");
  lines.append(std::to_string(patterns));
  lines.append("\n***********************************************\n");
  return lines;
}

std::string cappedLine(std::int64_t patterns) {
  return "Stopped after " + std::to_string(patterns) +
         " patterns, the limit set by --max-patterns\n";
}

}  // namespace tavrel::formats
