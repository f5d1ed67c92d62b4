// The HTML report's section on the strings behind its patterns (with
// --strings): per pattern, the first kHtmlStrings strings that hold it and
// their count.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "show/pattern.h"
#include "show/pattern_strings.h"

namespace tavrel::tools {

inline constexpr std::size_t kHtmlStrings = 20;

// The section for `patterns`, looked up in one pass over the database.
// Returns 0, or -1 with a message.
int stringsSection(const StringsSource& source, std::span<const Pattern> patterns,
                   std::string* html, std::string* error);

}  // namespace tavrel::tools
