#include "prep/pairs_reader.h"

#include <unordered_map>

#include "common/text_input.h"
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

int readPairs(std::string_view text, const std::string& fileName, std::string_view comment,
              SequenceSet* set, std::string* error) {
  std::unordered_map<std::string, std::size_t> sequenceOf;  // case id -> index in the set
  LineCursor cursor{text};
  std::string_view line;
  while (nextLine(&cursor, &line)) {
    if (isCommentLine(line, comment)) continue;
    std::string_view columns[3];
    std::size_t count = splitColumns(line, columns);
    if (count == 0) continue;
    if (count != 2) {
      *error = fileName + ":" + std::to_string(cursor.lineNumber) +
               ": expected two columns, a case id and an item, found " +
               (count == 1 ? "one" : "more");
      return -1;
    }
    auto [entry, added] = sequenceOf.try_emplace(std::string(columns[0]), set->sequences.size());
    if (added) {
      set->sequences.emplace_back();
      set->sequences.back().line = cursor.lineNumber;
      set->sequences.back().caseName = std::string(columns[0]);
    }
    Sequence& sequence = set->sequences[entry->second];
    sequence.keys.push_back(internLabel(set, columns[1]));
    sequence.lines.push_back(cursor.lineNumber);
  }
  return 0;
}

}  // namespace tavrel::tools
