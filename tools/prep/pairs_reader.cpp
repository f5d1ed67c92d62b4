#include "prep/pairs_reader.h"

#include <unordered_map>

#include "prep/comment_lines.h"

namespace tavrel::tools {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits `line` into its blank-separated columns; stops after three,
// which is enough to tell that there are too many.
std::size_t splitColumns(std::string_view line, std::string_view columns[3]) {
  std::size_t count = 0;
  std::size_t i = 0;
  while (count < 3) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size()) break;
    std::size_t start = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    columns[count++] = line.substr(start, i - start);
  }
  return count;
}

}  // namespace

Result readPairs(InputLines* input, const std::string& fileName, std::string_view comment,
                 SequenceSet* set) {
  std::unordered_map<std::string, int> caseOf;  // case id -> index in `events`
  EventList events;
  std::string_view raw;
  bool terminated = false;
  int status;
  while ((status = input->next(&raw, &terminated)) > 0) {
    std::string_view line = withoutCr(raw);
    if (isCommentLine(line, comment)) continue;
    std::string_view columns[3];
    std::size_t count = splitColumns(line, columns);
    if (count == 0) continue;
    if (count != 2) {
      return input->settle(Result::failure(fileName + ":" + std::to_string(input->lineNumber()) +
                                           ": expected two columns, a case id and an item, found " +
                                           (count == 1 ? "one" : "more")));
    }
    auto [entry, added] =
        caseOf.try_emplace(std::string(columns[0]), static_cast<int>(events.caseNames.size()));
    if (added) {
      events.caseNames.emplace_back(columns[0]);
      events.caseLines.push_back(input->lineNumber());
    }
    events.cases.push_back(entry->second);
    events.keys.push_back(internLabel(set, columns[1]));
    events.lines.push_back(input->lineNumber());
  }
  if (status < 0) return input->failure();
  groupEvents(&events, set);
  return Result();
}

Result readPairs(std::string_view text, const std::string& fileName, std::string_view comment,
                 SequenceSet* set) {
  InputLines input(text, fileName);
  return readPairs(&input, fileName, comment, set);
}

}  // namespace tavrel::tools
