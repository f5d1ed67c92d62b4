#include "driver/command_line.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "base/decimal.h"

namespace tavrel {

const char kUsageLine[] = "Usage: Tavrel.exe spec_file min_sup\n";

const char kHelpText[] =
    "Usage: Tavrel.exe [options] spec_file min_sup\n"
    "\n"
    "Mines the frequent closed patterns of order relations from the string\n"
    "database named in spec_file: every set of edges \"a before b\" that at\n"
    "least min_sup strings hold together and that no further edge joins\n"
    "without losing support. min_sup is a count of strings (25) or a share of\n"
    "them (5%, 2.5%, 0.05), which is rounded up to a count.\n"
    "\n"
    "Options (before spec_file; -- ends them):\n"
    "  --line-flush        write each output line as soon as it is complete\n"
    "                      (default: in blocks; no complete line waits over\n"
    "                      100 ms)\n"
    "  --threads N         search with N threads (default: every core the\n"
    "                      program may use); the output is the same for any N\n"
    "  --count-only        search in full but write no patterns: only the closing\n"
    "                      lines, with the number of patterns; the quick way to\n"
    "                      try a min_sup before writing its output\n"
    "  --max-patterns N    stop after N patterns (the first N the search finds,\n"
    "                      not the best N); the run ends with its closing lines,\n"
    "                      a line that says it stopped there, and status 0\n"
    "  --maximal           write only the maximal patterns: those that no\n"
    "                      other pattern of min_sup strings or more contains\n"
    "  --min-edges N       write only patterns of at least N edges\n"
    "  --max-edges N       write only patterns of at most N edges; the search\n"
    "                      goes no deeper, so a small N saves most of the work\n"
    "  --items A,B,...     write only patterns whose edges involve every one of\n"
    "                      these item numbers (at most 64)\n"
    "  --top K             write only the K patterns of highest support (of equal\n"
    "                      supports, the first found); the search raises its own\n"
    "                      threshold as it goes, so it ends where a full run at\n"
    "                      this min_sup would not. With a low min_sup (1) it is\n"
    "                      the way to ask for the most frequent patterns\n"
    "  --progress          show the run's progress on standard error about once\n"
    "                      a second (the default when standard error is a\n"
    "                      terminal and standard output is not)\n"
    "  --help              print this text\n"
    "\n"
    "The output grows steeply as min_sup falls: on some databases one step\n"
    "down takes a run from thousands of patterns to millions. Try --count-only\n"
    "first; a run warns on standard error once its output passes 1 GB, and when\n"
    "the disk that holds it is nearly full.\n"
    "\n"
    "The conditions (--maximal, --min-edges, --max-edges, --items, --top)\n"
    "combine; the patterns written are those of the full run that pass them, in\n"
    "the full run's order, numbered from 1.\n";

namespace {

constexpr int kMostShareDigits = 15;

// Reads `text` as a share of the strings when it has the form of one: digits
// with an optional point and fraction, then '%'; or an optional "0" run,
// a point and a fraction. Returns false when it has neither form; otherwise
// sets `share` (numerator 0 when the value is out of range) and `reason`.
bool readShare(const std::string& text, SupportShare* share, std::string* reason) {
  std::size_t end = text.size();
  bool percent = end > 0 && text[end - 1] == '%';
  if (percent) --end;
  std::size_t point = text.find('.');
  if (point == std::string::npos || point > end) point = end;
  bool digitsOnly = text.find_first_not_of("0123456789.", 0) >= end &&
                    text.find('.', point + 1) == std::string::npos;
  std::string whole = text.substr(0, point);
  std::string fraction = point < end ? text.substr(point + 1, end - point - 1) : "";
  bool hasDigits = !whole.empty() || !fraction.empty();
  bool isFraction = !percent && point < end && !fraction.empty() &&
                    whole.find_first_not_of('0') == std::string::npos;
  if (!digitsOnly || !hasDigits || (!percent && !isFraction)) return false;
  if (fraction.size() > kMostShareDigits) {
    *reason = "a share of the strings takes at most 15 digits after the point; got '" + text + "'";
    return true;
  }
  std::size_t first = whole.find_first_not_of('0');
  whole = first == std::string::npos ? "" : whole.substr(first);
  if (whole.size() > 3) whole = "1000";  // above 100% in any case
  std::int64_t numerator = 0;
  for (char digit : whole + fraction) numerator = numerator * 10 + (digit - '0');
  std::int64_t denominator = 1;
  for (std::size_t k = 0; k < fraction.size() + (percent ? 2 : 0); ++k) denominator *= 10;
  share->numerator = 0;
  if (numerator > denominator) {
    *reason = "a share of the strings must be at most 100%; got '" + text + "'";
  } else if (numerator > 0) {
    share->numerator = numerator;
    share->denominator = denominator;
  }
  return true;
}

// True when `text` is a whole count as a person types one: an optional
// '+' and decimal digits, nothing after them.
bool isWholeCount(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Sets min_sup from its text, or the reason it is not valid. Leading blanks
// are skipped; what follows must be a whole count or a share, with nothing
// after it, so that "12.5", "5pct", "1e3" or "50%%" are refused rather than
// read as the count they start with.
bool readMinSup(const char* text, CommandLine* line) {
  line->minSupText = text;
  std::string_view typed = text;
  while (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.remove_prefix(1);
  if (isWholeCount(typed)) {
    DecimalValue support = convertDecimal(text);
    if (support.value > 0 && fitsInInt(support.value)) {
      line->minSup = static_cast<int>(support.value);
      return true;
    }
  } else if (readShare(std::string(typed), &line->minSupShare, &line->reason)) {
    if (line->minSupShare.numerator > 0) return true;
  }
  if (line->reason.empty()) {
    line->reason =
        "min_sup must be a whole number of 1 or more, or a share such as 5% or 0.05; got '" +
        line->minSupText + "'";
  }
  return false;
}

// A whole positive decimal number, or -1.
std::int64_t positiveCount(const char* text) {
  if (*text == '\0') return -1;
  std::int64_t value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return -1;
    value = value * 10 + (*c - '0');
    if (value > (std::int64_t{1} << 62)) return -1;
  }
  return value > 0 ? value : -1;
}

// The options that take a whole number of 1 or more: --min-edges,
// --max-edges, --top.
bool isCountOption(const char* option) {
  return std::strcmp(option, "--min-edges") == 0 || std::strcmp(option, "--max-edges") == 0 ||
         std::strcmp(option, "--top") == 0;
}

// Sets the count option `option` from `value`, or the reason it is not
// valid.
bool readCountOption(const char* option, const char* value, CommandLine* line) {
  std::int64_t count = positiveCount(value);
  bool isTop = std::strcmp(option, "--top") == 0;
  if (count <= 0 || (!isTop && count > INT_MAX)) {
    line->reason = std::string(option) + " takes a whole number of 1 or more; got '" + value + "'";
    return false;
  }
  if (isTop) {
    line->top = count;
  } else if (std::strcmp(option, "--min-edges") == 0) {
    line->minEdges = static_cast<int>(count);
  } else {
    line->maxEdges = static_cast<int>(count);
  }
  return true;
}

// Sets the items of --items from "A,B,...", item numbers of 0 or more,
// sorted, each once; or the reason the list is not valid.
bool readItems(const char* value, CommandLine* line) {
  std::string_view rest = value;
  std::vector<int> items;
  while (true) {
    std::size_t comma = rest.find(',');
    std::string number(rest.substr(0, comma));
    std::int64_t item = number == "0" ? 0 : positiveCount(number.c_str());
    if (item < 0 || item > INT_MAX) {
      line->reason =
          std::string("--items takes item numbers separated by commas (3,17,42); got '") + value +
          "'";
      return false;
    }
    items.push_back(static_cast<int>(item));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  if (items.size() > kMostConditionItems) {
    line->reason = "--items takes at most " + std::to_string(kMostConditionItems) + " items";
    return false;
  }
  line->items = std::move(items);
  return true;
}

// The reason the conditions do not fit together, or empty.
std::string conditionsClash(const CommandLine& line) {
  if (line.maxEdges > 0 && line.minEdges > line.maxEdges) {
    return "--min-edges " + std::to_string(line.minEdges) + " is above --max-edges " +
           std::to_string(line.maxEdges) + ": no pattern can pass both";
  }
  return "";
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  int next = 1;
  for (; next < argc && std::strncmp(argv[next], "--", 2) == 0; ++next) {
    const char* option = argv[next];
    if (std::strcmp(option, "--") == 0) {
      ++next;
      break;
    }
    const char* value = next + 1 < argc ? argv[next + 1] : "";
    if (std::strcmp(option, "--help") == 0) {
      line.help = true;
    } else if (std::strcmp(option, "--line-flush") == 0) {
      line.lineFlush = true;
    } else if (std::strcmp(option, "--progress") == 0) {
      line.progress = true;
    } else if (std::strcmp(option, "--count-only") == 0) {
      line.countOnly = true;
    } else if (std::strcmp(option, "--max-patterns") == 0) {
      if (positiveCount(value) <= 0) {
        line.reason = "--max-patterns takes a whole number of 1 or more";
        return line;
      }
      line.maxPatterns = positiveCount(argv[++next]);
    } else if (std::strcmp(option, "--maximal") == 0) {
      line.maximal = true;
    } else if (std::strcmp(option, "--items") == 0) {
      if (!readItems(value, &line)) return line;
      ++next;
    } else if (isCountOption(option)) {
      if (!readCountOption(option, value, &line)) return line;
      ++next;
    } else if (std::strcmp(option, "--threads") == 0) {
      if (positiveCount(value) <= 0 || positiveCount(value) > 4096) {
        line.reason = "--threads takes a whole number from 1 to 4096";
        return line;
      }
      line.threads = static_cast<int>(positiveCount(argv[++next]));
    } else {
      line.reason = std::string("unknown option '") + option + "' (see Tavrel.exe --help)";
      return line;
    }
  }
  if (line.help) {
    line.valid = true;
    return line;
  }
  if (argc - next < 2) {
    line.reason = argc - next == 0 ? "expected spec_file and min_sup" : "expected min_sup";
    return line;
  }
  line.reason = conditionsClash(line);
  if (!line.reason.empty()) return line;
  if (!readMinSup(argv[next + 1], &line)) return line;
  line.specPath = argv[next];
  line.valid = true;
  return line;
}

}  // namespace tavrel
