#include <cstdint>
#include <limits>
#include <new>
#include <set>
#include <utility>

#include "base/decimal.h"
#include "formats/miner_output.h"

namespace tavrel::formats {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Reads a whole non-negative number from the front of `text` up to `end`
// (exclusive) and moves `text` past `end`; false when that text is not one.
template <typename Number>
bool takeCount(std::string_view* text, std::string_view end, Number* value) {
  std::size_t stop = text->find(end);
  if (stop == std::string_view::npos) return false;
  std::int64_t count = 0;
  if (!parseWholeCount(text->substr(0, stop), &count) ||
      count > std::numeric_limits<Number>::max()) {
    return false;
  }
  *value = static_cast<Number>(count);
  text->remove_prefix(stop + end.size());
  return true;
}

// The line as messages show it: quoted, cut after 60 bytes.
std::string shown(std::string_view line) {
  std::string text(1, '\'');
  text.append(line.substr(0, 60));
  text.append(line.size() > 60 ? "'..." : "'");
  return text;
}

// Reads "Pattern <n> Support = <s>: ".
bool parseHeader(std::string_view line, std::int64_t* number, int* support) {
  if (!startsWith(line, kPatternStart)) return false;
  line.remove_prefix(kPatternStart.size());
  return takeCount(&line, kSupportStart, number) && takeCount(&line, kHeaderEnd, support) &&
         line.empty();
}

// Reads an edge line into `edges`; -1 with a reason.
int parseEdges(std::string_view line, std::vector<OutputEdge>* edges, std::string* reason) {
  std::set<std::pair<int, int>> seen;
  while (!line.empty()) {
    std::size_t tab = line.find('\t');
    std::string_view token = line.substr(0, tab);
    std::size_t dash = token.find('-');
    OutputEdge edge;
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

struct Line {
  std::string_view text;
  bool terminated = false;
  long number = 0;  // its line number; after the end, the number the next line would have
  bool present = false;
};

// Reads the next line; -1 with a message when reading fails.
int takeLine(MinerOutputReader* reader, Line* line) {
  int status = reader->lines.readTrimmed(&line->text, &line->terminated);
  if (status < 0) {
    if (reader->lines.failure().isOutOfMemory()) throw std::bad_alloc();
    reader->failure = Result::failure("cannot read " + reader->name + ": " +
                                      std::string(reader->lines.failure().message()));
    return -1;
  }
  line->present = status > 0;
  line->number = reader->lines.lineNumber() + (line->present ? 0 : 1);
  return 0;
}

// True when `line` is the partial last line of an input cut off mid-write.
bool cutOff(const Line& line) { return !line.present || !line.terminated; }

// Fails the reading with "<name>:<at>: <reason>"; -1 as nextPattern()
// returns it.
int fail(MinerOutputReader* reader, long at, const std::string& reason) {
  reader->failure = Result::failure(reader->name + ":" + std::to_string(at) + ": " + reason);
  return -1;
}

// Ends the reading; 0 as nextPattern() returns it.
int finish(MinerOutputReader* reader, bool complete) {
  reader->state = MinerOutputReader::State::kDone;
  reader->complete = complete;
  return 0;
}

// Reads the closing lines after "Total Runtime"; 0 at their end, whether
// they are complete or cut off, or -1 with a message.
int readClosingLines(MinerOutputReader* reader) {
  Line line;
  if (takeLine(reader, &line) != 0) return -1;
  if (cutOff(line)) return finish(reader, false);
  std::int64_t count = 0;
  if (!startsWith(line.text, kCountStart) ||
      !parseWholeCount(line.text.substr(kCountStart.size()), &count)) {
    return fail(reader, line.number, "expected \"Total Number of patterns: <count>\"");
  }
  if (count != reader->patternsRead) {
    return fail(reader, line.number,
                "the output counts " + std::to_string(count) + " patterns, but holds " +
                    std::to_string(reader->patternsRead));
  }
  reader->patternCount = count;
  if (takeLine(reader, &line) != 0) return -1;
  if (!line.present ||
      (!line.terminated && startsWith(kStars, line.text) && line.text.size() < kStars.size())) {
    return finish(reader, false);
  }
  if (line.text != kStars) {
    return fail(reader, line.number, "expected the closing line of 47 asterisks");
  }
  if (takeLine(reader, &line) != 0) return -1;
  std::string capped = cappedLine(count);
  std::string_view cappedText(capped.data(), capped.size() - 1);  // without its '\n'
  if (line.present && line.text == cappedText) {
    reader->capped = true;
    if (takeLine(reader, &line) != 0) return -1;
  } else if (line.present && !line.terminated && startsWith(cappedText, line.text)) {
    return finish(reader, false);  // cut off inside the capped line
  }
  if (line.present) {
    return fail(reader, line.number, "text after the end of the miner's output");
  }
  return finish(reader, true);
}

// Reads the edge line and the empty line of the pattern whose header was
// just read. Returns 1 with the pattern, 0 when the input ends before its
// edge line is complete, -1 with a message.
int readPatternBody(MinerOutputReader* reader, long headerLine, OutputPattern* pattern) {
  std::string at = "pattern " + std::to_string(pattern->number);
  Line line;
  if (takeLine(reader, &line) != 0) return -1;
  if (cutOff(line)) return finish(reader, false);
  std::int64_t otherNumber = 0;
  int otherSupport = 0;
  if (line.text.empty() || parseHeader(line.text, &otherNumber, &otherSupport)) {
    return fail(reader, headerLine, at + " has no edge line");
  }
  std::string reason;
  if (parseEdges(line.text, &pattern->edges, &reason) != 0) {
    return fail(reader, line.number, reason);
  }
  if (takeLine(reader, &line) != 0) return -1;
  if (line.present && !line.text.empty()) {
    return fail(reader, line.number, "expected an empty line after the edges of " + at);
  }
  ++reader->patternsRead;
  reader->state = line.present && line.terminated ? MinerOutputReader::State::kPatterns
                                                  : MinerOutputReader::State::kCutAfterPattern;
  return 1;
}

}  // namespace

int nextPattern(MinerOutputReader* reader, OutputPattern* pattern) {
  using State = MinerOutputReader::State;
  if (reader->state == State::kDone) return 0;
  if (reader->state == State::kCutAfterPattern) return finish(reader, false);
  Line line;
  if (takeLine(reader, &line) != 0) return -1;
  if (reader->state == State::kStart) {
    if (!line.present) return fail(reader, 1, "empty input; expected the miner's output");
    if (line.text != " " && !(cutOff(line) && line.text.empty())) {
      return fail(reader, 1,
                  "expected a line holding one blank, found " + shown(line.text) +
                      " (is this the miner's output of a complete run?)");
    }
    if (cutOff(line)) return finish(reader, false);
    reader->state = State::kPatterns;
    if (takeLine(reader, &line) != 0) return -1;
  }
  if (cutOff(line)) return finish(reader, false);
  *pattern = OutputPattern{};
  if (parseHeader(line.text, &pattern->number, &pattern->support)) {
    std::string at = "pattern " + std::to_string(pattern->number);
    std::int64_t expected = reader->patternsRead + 1;
    if (pattern->number != expected) {
      return fail(reader, line.number,
                  at + " is out of sequence (expected pattern " + std::to_string(expected) + ")");
    }
    if (pattern->support < 1) return fail(reader, line.number, at + " has support 0");
    return readPatternBody(reader, line.number, pattern);
  }
  if (startsWith(line.text, kRuntimeStart) &&
      line.text.size() > kRuntimeStart.size() + kRuntimeEnd.size() &&
      line.text.substr(line.text.size() - kRuntimeEnd.size()) == kRuntimeEnd) {
    reader->runtime = line.text.substr(
        kRuntimeStart.size(), line.text.size() - kRuntimeStart.size() - kRuntimeEnd.size());
    return readClosingLines(reader);
  }
  return fail(reader, line.number, "unexpected line " + shown(line.text));
}

}  // namespace tavrel::formats
