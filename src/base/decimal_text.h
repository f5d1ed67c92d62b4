// Writing numbers as decimal text, fast: two digits at a time from a table.
#pragma once

#include <cstdint>

namespace tavrel {

// Writes `value` in plain decimal (no sign, no padding) at `out` and
// returns the position after its last digit. Needs room for 20 characters.
char* writeDecimal(char* out, std::uint64_t value);

}  // namespace tavrel
