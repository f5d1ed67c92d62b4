// Writing labels into the output formats of tavrel-show: JSON strings, CSV
// fields, Graphviz strings, HTML text and text for a terminal. Labels come
// from user data and may be any bytes; bytes that do not form valid UTF-8
// are replaced by U+FFFD, which JSON and Graphviz require. No writer passes
// a control character (U+0000 to U+001F, U+007F) on as it is, except the
// line ends and tabs its format carries: JSON escapes them, the others
// write them as a visible \xNN (two hex digits), which XML (that cannot
// hold them at all), Graphviz (which a NUL would stop) and a terminal
// (which an ESC would command) all take as plain text.
#pragma once

#include <string>
#include <string_view>

namespace tavrel::tools {

// `text` with every byte that is not part of a valid UTF-8 sequence
// replaced by U+FFFD.
std::string validUtf8(std::string_view text);

// `text` with every control character (U+0000 to U+001F, U+007F) that
// `kept` does not list written as \xNN; everything else as it is.
std::string visibleControls(std::string_view text, std::string_view kept);

// A label for a terminal: a tab, line feed, carriage return and backslash
// as \t, \n, \r and \\ (as the item table writes them), every other
// control character, each C1 control (U+0080 to U+009F) and each byte that
// is not valid UTF-8 as \xNN, so that no escape sequence reaches the
// terminal.
std::string terminalText(std::string_view text);

// A JSON string literal: quotes around, '"' and '\' escaped, control
// characters as \n, \t, \r, \b, \f or \u00XX.
std::string jsonString(std::string_view text);

// A CSV field (RFC 4180) of text: quoted, with quotes doubled, when it
// holds a comma, a quote, a CR or a LF; otherwise as it is. A field that
// starts with '=', '+', '-', '@', a tab or a CR, which a spreadsheet would
// take for a formula, gets a single quote in front and is quoted, as the
// usual advice against CSV injection has it. Control characters other
// than a tab, CR or LF are written as \xNN; other bytes are kept as they
// are.
std::string csvField(std::string_view text);

// A Graphviz double-quoted string: '"' and '\' escaped, a line feed as the
// line break \n, a carriage return left out, other control characters but
// a tab shown as \xNN.
std::string dotString(std::string_view text);

// Text for an HTML page, in content or in a quoted attribute value: '&',
// '<', '>' and '"' as character references, control characters other than
// a tab, CR or LF as \xNN.
std::string htmlText(std::string_view text);

}  // namespace tavrel::tools
