#include "prep/spmf_reader.h"

#include <map>

#include "base/decimal.h"
#include "common/report.h"
#include "prep/comment_lines.h"

namespace tavrel::tools {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Splits off the next blank-separated token; false when none is left.
bool nextToken(std::string_view line, std::size_t* position, std::string_view* token) {
  std::size_t i = *position;
  while (i < line.size() && isBlank(line[i])) ++i;
  if (i == line.size()) return false;
  std::size_t start = i;
  while (i < line.size() && !isBlank(line[i])) ++i;
  *token = line.substr(start, i - start);
  *position = i;
  return true;
}

// Reads "@ITEM=<id>=<name>" into `names`; other '@' lines are skipped.
int readItemName(std::string_view line, std::map<int, std::string>* names, std::string* reason) {
  constexpr std::string_view kPrefix = "@ITEM=";
  if (line.substr(0, kPrefix.size()) != kPrefix) return 0;
  std::string_view rest = line.substr(kPrefix.size());
  std::size_t equals = rest.find('=');
  int id = 0;
  if (equals == std::string_view::npos || !parseWholeInt(rest.substr(0, equals), &id) || id < 0) {
    *reason = "expected @ITEM=<id>=<name>";
    return -1;
  }
  (*names)[id] = std::string(rest.substr(equals + 1));
  return 0;
}

// Reads the sequence on `line` into `set`; -1 with a reason.
int readSpmfSequence(std::string_view line, SequenceSet* set, std::string* reason) {
  bool ended = false;
  std::size_t position = 0;
  std::string_view token;
  while (nextToken(line, &position, &token)) {
    int id = 0;
    if (ended) {
      *reason = "text after -2, the end of the sequence";
    } else if (!parseWholeInt(token, &id) || id < -2) {
      *reason = inQuotes(token) + " is not an item id, -1 or -2";
    } else if (id == -2) {
      ended = true;
    } else if (id >= 0) {
      int key = internLabel(set, std::to_string(id));
      set->sortValue[static_cast<std::size_t>(key)] = id;
      set->keys.push_back(key);
    }
    if (!reason->empty()) return -1;
  }
  if (!ended) {
    *reason = "the sequence does not end with -2";
    return -1;
  }
  return 0;
}

}  // namespace

Result readSpmf(InputLines* input, const std::string& fileName, std::string_view comment,
                SequenceSet* set) {
  set->numberBySortValue = true;
  std::map<int, std::string> names;
  std::string_view raw;
  bool terminated = false;
  std::string reason;
  int status;
  while ((status = input->next(&raw, &terminated)) > 0) {
    std::string_view line = withoutCr(raw);
    if (isCommentLine(line, comment)) continue;
    std::size_t first = 0;
    while (first < line.size() && isBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#' || line[first] == '%') continue;
    int read = line[first] == '@' ? readItemName(line.substr(first), &names, &reason)
                                  : readSpmfSequence(line, set, &reason);
    if (read != 0) {
      return input->settle(
          Result::failure(fileName + ":" + std::to_string(input->lineNumber()) + ": " + reason));
    }
    if (line[first] != '@') closeSequence(set, input->lineNumber());
  }
  if (status < 0) return input->failure();
  for (const auto& [id, name] : names) {
    auto entry = set->index.find(std::to_string(id));
    if (entry != set->index.end()) set->labels[static_cast<std::size_t>(entry->second)] = name;
  }
  return Result();
}

Result readSpmf(std::string_view text, const std::string& fileName, std::string_view comment,
                SequenceSet* set) {
  InputLines input(text, fileName);
  return readSpmf(&input, fileName, comment, set);
}

}  // namespace tavrel::tools
