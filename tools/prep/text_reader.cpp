#include "prep/text_reader.h"

#include "prep/comment_lines.h"

namespace tavrel::tools {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

}  // namespace

Result readTextSequences(InputLines* input, std::string_view comment, SequenceSet* set) {
  std::string_view raw;
  bool terminated = false;
  int status;
  while ((status = input->next(&raw, &terminated)) > 0) {
    std::string_view line = withoutCr(raw);
    if (isCommentLine(line, comment)) continue;
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && isSeparator(line[i])) ++i;
      std::size_t start = i;
      while (i < line.size() && !isSeparator(line[i])) ++i;
      if (i > start) set->keys.push_back(internLabel(set, line.substr(start, i - start)));
    }
    closeSequence(set, input->lineNumber());
  }
  return status < 0 ? input->failure() : Result();
}

void readTextSequences(std::string_view text, std::string_view comment, SequenceSet* set) {
  InputLines input(text, "text");
  static_cast<void>(readTextSequences(&input, comment, set));
}

}  // namespace tavrel::tools
