#include "prep/prep_options.h"

#include <filesystem>
#include <string_view>
#include <vector>

#include "base/decimal.h"
#include "common/command_line.h"
#include "common/report.h"

namespace tavrel::tools {

namespace {

constexpr std::string_view kFlags = "--help --strict-repeats --no-header";
constexpr std::string_view kValued =
    "--format --case --activity --time --time-format --comment --separator --repeats";

Result checkName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\n\r") != std::string::npos) {
    return Result::failure(inQuotes(name) +
                           " cannot be used as the output name (give NAME: no '/', no line end)");
  }
  return Result();
}

// The input's file name without its extension, and without ".gz" before
// that: "orders.csv.gz" gives "orders".
std::string defaultName(const std::string& input) {
  std::filesystem::path path(input);
  if (path.extension() == ".gz") path = path.stem();
  return path.stem().string();
}

Result readFormat(const std::string& value, InputFormat* format) {
  if (value == "spmf") {
    *format = InputFormat::kSpmf;
  } else if (value == "text") {
    *format = InputFormat::kText;
  } else if (value == "pairs") {
    *format = InputFormat::kPairs;
  } else if (value == "csv") {
    *format = InputFormat::kCsv;
  } else if (value == "xes") {
    *format = InputFormat::kXes;
  } else {
    return Result::failure("unknown format '" + value + "' (use spmf, text, pairs, csv or xes)");
  }
  return Result();
}

Result readRepeatMode(const std::string& value, RepeatMode* mode) {
  if (value == "drop") {
    *mode = RepeatMode::kDrop;
  } else if (value == "refuse") {
    *mode = RepeatMode::kRefuse;
  } else if (value == "number") {
    *mode = RepeatMode::kNumber;
  } else {
    return Result::failure("option --repeats takes drop, refuse or number, not " + inQuotes(value));
  }
  return Result();
}

// Reads a separator: one byte, or "tab" (or "\t") for a tab.
Result readSeparator(const std::string& value, char* separator) {
  if (value == "tab" || value == "\\t") {
    *separator = '\t';
    return Result();
  }
  if (value.size() != 1 || value == "\"" || value == "\n" || value == "\r") {
    return Result::failure(
        "option --separator needs one character other than a quote or a line end (or "
        "'tab'), not " +
        inQuotes(value));
  }
  *separator = value[0];
  return Result();
}

// Takes in the value of one of the options in kValued.
Result applyValue(std::string_view key, const std::string& value, PrepOptions* options) {
  EventLogColumns& columns = options->log.columns;
  if (key == "--format") return readFormat(value, &options->format);
  if (key == "--separator") return readSeparator(value, &options->log.separator);
  if (key == "--repeats") return readRepeatMode(value, &options->repeats);
  if (key == "--comment") {
    options->comment = value;
  } else if (key == "--case") {
    columns.caseColumn = value;
  } else if (key == "--activity") {
    columns.activityColumn = value;
  } else if (key == "--time-format") {
    options->log.timeFormat = value;
  } else {
    columns.timeColumn = value;
  }
  return Result();
}

// Checks that the event log options come with --format csv, and only then.
Result checkEventLogOptions(const PrepOptions& options, bool separatorGiven) {
  const EventLogColumns& columns = options.log.columns;
  if (options.format != InputFormat::kCsv) {
    if (!columns.caseColumn.empty() || !columns.activityColumn.empty() ||
        !columns.timeColumn.empty() || !options.log.timeFormat.empty()) {
      return Result::failure(
          "--case, --activity, --time and --time-format apply to --format csv only");
    }
    if (separatorGiven || !options.log.header) {
      return Result::failure("--separator and --no-header apply to --format csv only");
    }
    return Result();
  }
  if (columns.caseColumn.empty() || columns.activityColumn.empty()) {
    return Result::failure("--format csv needs --case and --activity");
  }
  if (!options.log.timeFormat.empty() && columns.timeColumn.empty()) {
    return Result::failure("--time-format needs --time");
  }
  if (options.log.header) return Result();
  for (const auto& [option, column] :
       {std::pair{"--case", &columns.caseColumn}, std::pair{"--activity", &columns.activityColumn},
        std::pair{"--time", &columns.timeColumn}}) {
    int number = 0;
    if (!column->empty() && (!parseWholeInt(*column, &number) || number < 1)) {
      return Result::failure(std::string("with --no-header, ") + option +
                             " needs a column number from 1, not " + inQuotes(*column));
    }
  }
  return Result();
}

}  // namespace

const char* prepUsage() {
  return "Usage: tavrel-prep --format spmf|text|pairs|csv|xes [options] INPUT OUTDIR [NAME]\n"
         "\n"
         "Turns a sequence file into a database for Tavrel.exe. Writes NAME.db,\n"
         "NAME.spec and NAME.items.tsv into OUTDIR (created when missing); NAME\n"
         "defaults to INPUT's file name without its extension. Run the miner from\n"
         "OUTDIR: cd OUTDIR && Tavrel.exe NAME.spec MIN_SUP\n"
         "INPUT may be gzip-compressed; it must be UTF-8 text.\n"
         "\n"
         "Formats:\n"
         "  spmf   integer item ids, -1 ends an itemset, -2 ends a sequence\n"
         "  text   one sequence per line, tokens separated by blanks or commas\n"
         "  pairs  one event per line: a case id and an item, separated by blanks\n"
         "  csv    an event log with a header row; needs --case and --activity\n"
         "  xes    an XES event log (.xes or .xes.gz): a trace's events' concept:name\n"
         "         in time:timestamp order\n"
         "\n"
         "Options:\n"
         "  --comment PREFIX    skip the lines that start with PREFIX\n"
         "  --case COL          the column holding the case id (csv)\n"
         "  --activity COL      the column holding the activity (csv)\n"
         "  --time COL          the column holding the timestamp (csv, optional):\n"
         "                      numbers compare as numbers, ISO 8601 text as text\n"
         "  --time-format F     read the timestamps with the strptime format F,\n"
         "                      e.g. '%d/%m/%Y %H:%M' (csv)\n"
         "  --separator C       the field separator (csv): one character, or 'tab';\n"
         "                      default ','\n"
         "  --no-header         the csv file has no header row; COL is a column\n"
         "                      number from 1\n"
         "  --repeats MODE      what becomes of an item's later occurrences in a\n"
         "                      sequence: drop (default) leaves them out, refuse\n"
         "                      stops with an error, number makes the second 'a'\n"
         "                      the item 'a#2', the third 'a#3' and so on\n"
         "  --strict-repeats    the same as --repeats refuse\n"
         "  --help              print this text\n";
}

Result parsePrepOptions(int argc, const char* const* argv, PrepOptions* options) {
  std::vector<std::string> operands;
  bool formatGiven = false;
  bool separatorGiven = false;
  bool strictRepeats = false;
  bool repeatsGiven = false;
  ArgumentScanner scanner{argc, argv};
  Argument argument;
  int status;
  while ((status = nextArgument(&scanner, kFlags, kValued, &argument)) > 0) {
    std::string_view key = argument.key;
    if (argument.isOperand) {
      operands.emplace_back(argument.value);
    } else if (key == "--help") {
      options->help = true;
    } else if (key == "--strict-repeats") {
      strictRepeats = true;
    } else if (key == "--no-header") {
      options->log.header = false;
    } else if (argument.value.empty()) {
      return Result::failure("option " + std::string(key) + " needs a non-empty value");
    } else if (Result applied = applyValue(key, std::string(argument.value), options);
               !applied.ok()) {
      return applied;
    }
    formatGiven = formatGiven || key == "--format";
    separatorGiven = separatorGiven || key == "--separator";
    repeatsGiven = repeatsGiven || key == "--repeats";
  }
  if (status < 0) return scanner.failure;
  if (options->help) return Result();
  if (strictRepeats) {
    if (repeatsGiven && options->repeats != RepeatMode::kRefuse) {
      return Result::failure("--strict-repeats is --repeats refuse; give one of them");
    }
    options->repeats = RepeatMode::kRefuse;
  }
  if (!formatGiven) {
    return Result::failure("--format is required");
  }
  Result checked = checkEventLogOptions(*options, separatorGiven);
  if (!checked.ok()) return checked;
  if (operands.size() < 2 || operands.size() > 3) {
    return Result::failure(operands.size() < 2 ? "INPUT and OUTDIR are required"
                                               : "too many operands");
  }
  options->input = operands[0];
  options->outDir = operands[1];
  if (options->outDir.empty()) {
    return Result::failure("OUTDIR is empty");
  }
  options->name = operands.size() == 3 ? operands[2] : defaultName(options->input);
  return checkName(options->name);
}

}  // namespace tavrel::tools
