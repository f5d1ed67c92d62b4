#include "show/miner_output.h"

#include <algorithm>
#include <set>
#include <utility>

#include "common/integer_text.h"
#include "common/report.h"
#include "common/text_input.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kRuntimeStart = "Total Runtime: ";
constexpr std::string_view kRuntimeEnd = " sec.";
constexpr std::string_view kCountStart = "Total Number of patterns: ";

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Reads a whole non-negative int from the front of `text` up to `end`
// (exclusive); false when that text is not one.
bool takeCount(std::string_view* text, std::string_view end, int* value) {
  std::size_t stop = text->find(end);
  if (stop == std::string_view::npos || stop == 0 || (*text)[0] == '-') return false;
  if (!parseWholeInt(text->substr(0, stop), value)) return false;
  text->remove_prefix(stop + end.size());
  return true;
}

// The line as messages show it: quoted, cut after 60 bytes.
std::string shown(std::string_view line) {
  return line.size() > 60 ? inQuotes(line.substr(0, 60)) + "..." : inQuotes(line);
}

// Reads "Pattern <n> Support = <s>: ".
bool parseHeader(std::string_view line, int* number, int* support) {
  constexpr std::string_view kStart = "Pattern ";
  if (!startsWith(line, kStart)) return false;
  line.remove_prefix(kStart.size());
  return takeCount(&line, " Support = ", number) && takeCount(&line, ": ", support) && line.empty();
}

// Reads an edge line into `edges`; -1 with a reason.
int parseEdges(std::string_view line, std::vector<Edge>* edges, std::string* reason) {
  std::set<std::pair<int, int>> seen;
  while (!line.empty()) {
    std::size_t tab = line.find('\t');
    std::string_view token = line.substr(0, tab);
    std::size_t dash = token.find('-');
    Edge edge;
    if (tab == std::string_view::npos || dash == 0 || dash == std::string_view::npos ||
        !parseWholeInt(token.substr(0, dash), &edge.from) ||
        !parseWholeInt(token.substr(dash + 1), &edge.to) || edge.from < 0 || edge.to < 0) {
      *reason = "malformed edge " + shown(token) + " (expected <from>-<to> and a tab)";
      return -1;
    }
    if (edge.from == edge.to) {
      *reason = "edge " + shown(token) + " joins an item to itself";
      return -1;
    }
    if (!seen.emplace(edge.from, edge.to).second) {
      *reason = "edge " + shown(token) + " is listed twice";
      return -1;
    }
    edges->push_back(edge);
    line.remove_prefix(tab + 1);
  }
  return 0;
}

}  // namespace

int parseMinerOutput(std::string_view text, const std::string& name, std::vector<Pattern>* patterns,
                     std::string* error) {
  patterns->clear();
  LineCursor cursor{text};
  std::string_view line;
  long current = 0;  // the line just read, or the one after the last at the end
  auto next = [&] {
    bool got = nextLine(&cursor, &line);
    current = got ? cursor.lineNumber : cursor.lineNumber + 1;
    return got;
  };
  auto fail = [&](long at, const std::string& reason) {
    *error = name + ":" + std::to_string(at) + ": " + reason;
    return -1;
  };
  if (!next()) return fail(1, "empty input; expected the miner's output");
  if (line != " ") {
    return fail(1, "expected a line holding one blank, found " + shown(line) +
                       " (is this the miner's output of a complete run?)");
  }
  for (;;) {
    if (!next()) {
      return fail(current, "the output ends before its summary lines");
    }
    Pattern pattern;
    if (parseHeader(line, &pattern.number, &pattern.support)) {
      std::string at = "pattern " + std::to_string(pattern.number);
      long headerLine = current;
      int otherNumber = 0, otherSupport = 0;
      int expected = static_cast<int>(patterns->size()) + 1;
      if (pattern.number != expected) {
        return fail(current,
                    at + " is out of sequence (expected pattern " + std::to_string(expected) + ")");
      }
      if (pattern.support < 1) return fail(current, at + " has support 0");
      if (!next() || line.empty() || parseHeader(line, &otherNumber, &otherSupport)) {
        return fail(headerLine, at + " has no edge line");
      }
      std::string reason;
      if (parseEdges(line, &pattern.edges, &reason) != 0) return fail(current, reason);
      if (!next() || !line.empty()) {
        return fail(current, "expected an empty line after the edges of " + at);
      }
      patterns->push_back(std::move(pattern));
      continue;
    }
    if (startsWith(line, kRuntimeStart) &&
        line.size() > kRuntimeStart.size() + kRuntimeEnd.size() &&
        line.substr(line.size() - kRuntimeEnd.size()) == kRuntimeEnd) {
      break;
    }
    return fail(current, "unexpected line " + shown(line));
  }
  int count = 0;
  if (!next() || !startsWith(line, kCountStart) ||
      !parseWholeInt(line.substr(kCountStart.size()), &count) || count < 0) {
    return fail(current, "expected \"Total Number of patterns: <count>\"");
  }
  if (static_cast<std::size_t>(count) != patterns->size()) {
    return fail(current, "the output counts " + std::to_string(count) + " patterns, but holds " +
                             std::to_string(patterns->size()));
  }
  if (!next() || line != std::string(47, '*')) {
    return fail(current, "expected the closing line of 47 asterisks");
  }
  if (next()) {
    return fail(current, "text after the end of the miner's output");
  }
  return 0;
}

}  // namespace tavrel::tools
