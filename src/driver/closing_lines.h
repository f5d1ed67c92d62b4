// The lines that end a complete run of the command line.
#pragma once

#include <cstdint>
#include <string>

namespace tavrel {

// "Total Runtime: <s> sec.\n": the run time in whole milliseconds, written
// in seconds as a default-formatted double (at most six significant digits).
std::string runtimeLine(long long milliseconds);

// The run-time line, "Total Number of patterns: <n>\n" and a line of 47
// asterisks.
std::string closingLines(long long milliseconds, std::int64_t patterns);

}  // namespace tavrel
