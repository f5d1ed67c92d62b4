// Writing labels into the output formats of tavrel-show: JSON strings, CSV
// fields, Graphviz strings and HTML text. Labels come from user data and may be any
// bytes; bytes that do not form valid UTF-8 are replaced by U+FFFD, which
// JSON and Graphviz require.
#pragma once

#include <string>
#include <string_view>

namespace tavrel::tools {

// `text` with every byte that is not part of a valid UTF-8 sequence
// replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// A JSON string literal: quotes around, '"' and '\' escaped, control
// characters as \n, \t, \r, \b, \f or \u00XX.
std::string jsonString(std::string_view text);

// A CSV field (RFC 4180): quoted, with quotes doubled, when it holds a
// comma, a quote, a CR or a LF; otherwise as it is. Bytes are kept as they
// are.
std::string csvField(std::string_view text);

// A Graphviz double-quoted string: '"' and '\' escaped, a line feed as the
// line break \n, a carriage return left out.
std::string dotString(std::string_view text);

// Text for an HTML page, in content or in a quoted attribute value: '&',
// '<', '>' and '"' as character references.
std::string htmlText(std::string_view text);

}  // namespace tavrel::tools
