#include "show/show_options.h"

#include <string_view>
#include <vector>

#include "base/decimal.h"
#include "common/command_line.h"
#include "common/report.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kFlags = "--help --all-edges --strict";
constexpr std::string_view kValued =
    "--format --items --output-dir --pattern --min-support --min-edges --max-edges --top "
    "--strings";

Result readCount(std::string_view key, std::string_view text, int* value) {
  if (!parseWholeInt(text, value) || *value < 0) {
    return Result::failure("option " + std::string(key) +
                           " needs a whole number of 0 or more, not " + inQuotes(text));
  }
  return Result();
}

// Reads "N[,N...]" into `numbers`.
Result readNumbers(std::string_view key, std::string_view text, std::vector<int>* numbers) {
  for (;;) {
    std::size_t comma = text.find(',');
    int number = 0;
    Result read = readCount(key, text.substr(0, comma), &number);
    if (!read.ok()) return read;
    numbers->push_back(number);
    if (comma == std::string_view::npos) return Result();
    text.remove_prefix(comma + 1);
  }
}

Result readFormat(std::string_view text, ShowFormat* format) {
  struct Name {
    std::string_view text;
    ShowFormat format;
  };
  for (const Name& name : {Name{"summary", ShowFormat::kSummary}, Name{"dot", ShowFormat::kDot},
                           Name{"jsonl", ShowFormat::kJsonLines}, Name{"csv", ShowFormat::kCsv},
                           Name{"svg", ShowFormat::kSvg}, Name{"png", ShowFormat::kPng},
                           Name{"html", ShowFormat::kHtml}}) {
    if (text == name.text) {
      *format = name.format;
      return Result();
    }
  }
  return Result::failure("unknown format " + inQuotes(text) +
                         " (use summary, dot, jsonl, csv, svg, png or html)");
}

// Takes in the value of one of the options in kValued.
Result applyValue(std::string_view key, std::string_view value, ShowOptions* options) {
  Selection& selection = options->selection;
  if (key == "--format") return readFormat(value, &options->format);
  if (key == "--pattern") return readNumbers(key, value, &selection.numbers);
  if (key == "--min-support") return readCount(key, value, &selection.minSupport);
  if (key == "--min-edges") return readCount(key, value, &selection.minEdges);
  if (key == "--max-edges") return readCount(key, value, &selection.maxEdges);
  if (key == "--top") return readCount(key, value, &selection.top);
  if (value.empty()) {
    return Result::failure("option " + std::string(key) + " needs a " +
                           (key == "--output-dir" ? "folder" : "file") + " name");
  }
  (key == "--items"     ? options->itemsPath
   : key == "--strings" ? options->stringsSpec
                        : options->outputDir) = std::string(value);
  return Result();
}

// Checks the options that only some formats take.
Result checkFormatOptions(const ShowOptions& options) {
  ShowFormat format = options.format;
  bool pictures =
      format == ShowFormat::kDot || format == ShowFormat::kSvg || format == ShowFormat::kPng;
  if (options.allEdges && !pictures && format != ShowFormat::kHtml) {
    return Result::failure("--all-edges applies to --format dot, svg, png and html only");
  }
  if (!options.stringsSpec.empty() && format != ShowFormat::kCsv &&
      format != ShowFormat::kJsonLines && format != ShowFormat::kHtml) {
    return Result::failure("--strings applies to --format csv, jsonl and html only");
  }
  if (!options.outputDir.empty() && !pictures) {
    return Result::failure("--output-dir applies to --format dot, svg and png only");
  }
  if ((format == ShowFormat::kSvg || format == ShowFormat::kPng) && options.outputDir.empty() &&
      options.selection.top != 1 && options.selection.numbers.size() != 1) {
    return Result::failure(
        std::string("--format ") + (format == ShowFormat::kSvg ? "svg" : "png") +
        " writes one file per pattern: give --output-dir DIR, or choose one pattern with "
        "--pattern N or --top 1");
  }
  return Result();
}

}  // namespace

const char* showUsage() {
  return "Usage: tavrel-show [options] [MINER_OUTPUT]\n"
         "\n"
         "Reads the output of Tavrel.exe (from MINER_OUTPUT, or standard input when\n"
         "it is missing or '-') and writes the chosen patterns to standard output.\n"
         "\n"
         "Output:\n"
         "  --format F        summary (default): counts, supports, sizes, top items\n"
         "                    dot: one Graphviz digraph per pattern (Hasse diagram)\n"
         "                    svg, png: pictures drawn with Graphviz\n"
         "                    jsonl: one JSON object per line and pattern\n"
         "                    csv: a header, then one record per pattern\n"
         "                    html: the explorer, one page to filter, sort and browse\n"
         "  --items FILE      the item table from tavrel-prep, for item labels\n"
         "  --strings SPEC    csv, jsonl, html: the strings of the database SPEC names\n"
         "                    that hold each pattern (case ids from the case table\n"
         "                    beside it, else line numbers); one pass over the\n"
         "                    database per 100,000 patterns\n"
         "  --output-dir DIR  dot, svg, png: one file per pattern in DIR\n"
         "                    (pattern_N.dot, .svg or .png)\n"
         "  --all-edges       pictures: draw every edge, not only the Hasse diagram's\n"
         "  --strict          an output that ends before the miner's closing lines\n"
         "                    (a run that did not finish), or one capped by\n"
         "                    --max-patterns, is an error\n"
         "\n"
         "Selection (all filters apply together):\n"
         "  --pattern N[,N]   only these pattern numbers (may be repeated)\n"
         "  --min-support S   only patterns with support S or more\n"
         "  --min-edges E     only patterns with E edges or more\n"
         "  --max-edges E     only patterns with E edges or fewer\n"
         "  --top K           then the K patterns of highest support, ties by\n"
         "                    pattern number, in that order\n"
         "  --help            print this text\n";
}

Result parseShowOptions(int argc, const char* const* argv, ShowOptions* options) {
  std::vector<std::string> operands;
  ArgumentScanner scanner{argc, argv};
  Argument argument;
  int scanned;
  while ((scanned = nextArgument(&scanner, kFlags, kValued, &argument)) > 0) {
    if (argument.isOperand) {
      operands.emplace_back(argument.value);
    } else if (argument.key == "--help") {
      options->help = true;
    } else if (argument.key == "--strict") {
      options->strict = true;
    } else if (argument.key == "--all-edges") {
      options->allEdges = true;
    } else if (Result applied = applyValue(argument.key, argument.value, options); !applied.ok()) {
      return applied;
    }
  }
  if (scanned < 0) return scanner.failure;
  if (options->help) return Result();
  prepareSelection(&options->selection);
  Result checked = checkFormatOptions(*options);
  if (!checked.ok()) return checked;
  if (operands.size() > 1) return Result::failure("too many operands (one miner output at most)");
  if (!operands.empty()) options->input = operands[0];
  return Result();
}

}  // namespace tavrel::tools
