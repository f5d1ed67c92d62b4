// Messages of the companion programs: one line on standard error,
// "<program>: <message>".
#pragma once

#include <string>
#include <string_view>

namespace tavrel::tools {

// Writes the line; a failure to write it is ignored, as there is nowhere
// left to report it. A control character in the message (one that came
// with a value from the input) is written as \xNN, so that no escape
// sequence reaches the terminal.
void reportMessage(std::string_view program, std::string_view message);

// `text` between single quotes, as messages show names and values.
std::string inQuotes(std::string_view text);

}  // namespace tavrel::tools
