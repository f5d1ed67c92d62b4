// UTF-8 as the companion programs check it: the well-formed sequences of
// RFC 3629, without overlong forms, surrogates or code points above
// U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace tavrel::tools {

// The length (1 to 4) of the well-formed UTF-8 sequence that starts at
// text[i], or 0 when none starts there. `i` must be below text.size().
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

}  // namespace tavrel::tools
