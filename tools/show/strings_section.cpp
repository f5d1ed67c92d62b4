#include "show/strings_section.h"

#include <vector>

#include "show/text_escape.h"

namespace tavrel::tools {

int stringsSection(const StringsSource& source, std::span<const Pattern> patterns,
                   std::string* html, std::string* error) {
  std::vector<std::vector<int>> lines;
  if (findStrings(source, patterns, &lines, error) != 0) return -1;
  *html +=
      "<h2>Strings</h2>\n<table>\n<thead><tr><th>Pattern</th><th>Strings</th>"
      "<th>The first " +
      std::to_string(kHtmlStrings) + "</th></tr></thead>\n<tbody>\n";
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    std::string first;
    for (std::size_t s = 0; s < lines[k].size() && s < kHtmlStrings; ++s) {
      if (s > 0) first += "; ";
      first += stringId(source, lines[k][s]);
    }
    if (lines[k].size() > kHtmlStrings) first += "; ...";
    *html += "<tr><td class=\"number\">" + std::to_string(patterns[k].number) +
             "</td><td class=\"number\">" + std::to_string(lines[k].size()) + "</td><td>" +
             htmlText(first) + "</td></tr>\n";
  }
  *html += "</tbody>\n</table>\n";
  return 0;
}

}  // namespace tavrel::tools
