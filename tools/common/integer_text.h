// Whole-token integers for the companion programs. Unlike the miner's
// lenient rule (input/decimal.h reads "5abc" as 5), a token here is a
// number only when it is an optional '-' followed by decimal digits and
// nothing else.
#pragma once

#include <string_view>

namespace tavrel::tools {

// Converts `token` into `value`. Returns false when the token is not a
// whole integer or lies outside the int range; `value` is then unchanged.
bool parseWholeInt(std::string_view token, int* value);

}  // namespace tavrel::tools
