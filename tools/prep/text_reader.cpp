#include "prep/text_reader.h"

#include "common/text_input.h"
#include "prep/comment_lines.h"

namespace tavrel::tools {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

}  // namespace

void readTextSequences(std::string_view text, std::string_view comment, SequenceSet* set) {
  LineCursor cursor{text};
  std::string_view line;
  while (nextLine(&cursor, &line)) {
    if (isCommentLine(line, comment)) continue;
    Sequence sequence;
    sequence.line = cursor.lineNumber;
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && isSeparator(line[i])) ++i;
      std::size_t start = i;
      while (i < line.size() && !isSeparator(line[i])) ++i;
      if (i > start) {
        sequence.keys.push_back(internLabel(set, line.substr(start, i - start)));
        sequence.lines.push_back(cursor.lineNumber);
      }
    }
    if (sequence.keys.empty()) {
      ++set->emptyDropped;
    } else {
      set->sequences.push_back(std::move(sequence));
    }
  }
}

}  // namespace tavrel::tools
