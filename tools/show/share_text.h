// A support as a share of the database's strings, as tavrel-show writes
// it: a percentage with one decimal ("52.5%"), and "<0.1%" for a share
// above zero that would round to 0.0%.
#pragma once

#include <string>

namespace tavrel::tools {

// The share of `support` in `strings` (more than 0) strings.
std::string shareText(long long support, long long strings);

}  // namespace tavrel::tools
