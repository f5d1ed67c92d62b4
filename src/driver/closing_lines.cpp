#include "driver/closing_lines.h"

#include <cstdio>

namespace tavrel {

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

}  // namespace tavrel
