#include "prep/prep_options.h"

#include <filesystem>
#include <string_view>
#include <vector>

#include "common/command_line.h"
#include "common/report.h"

namespace tavrel::tools {

namespace {

int checkName(const std::string& name, std::string* error) {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\n\r") != std::string::npos) {
    *error = inQuotes(name) + " cannot be used as the output name (give NAME: no '/', no line end)";
    return -1;
  }
  return 0;
}

// The input's file name without its extension, and without ".gz" before
// that: "orders.csv.gz" gives "orders".
std::string defaultName(const std::string& input) {
  std::filesystem::path path(input);
  if (path.extension() == ".gz") path = path.stem();
  return path.stem().string();
}

}  // namespace

const char* prepUsage() {
  return "Usage: tavrel-prep --format spmf|text|pairs|csv [options] INPUT OUTDIR [NAME]\n"
         "\n"
         "Turns a sequence file into a database for Tavrel.exe. Writes NAME.db,\n"
         "NAME.spec and NAME.items.tsv into OUTDIR (created when missing); NAME\n"
         "defaults to INPUT's file name without its extension. Run the miner from\n"
         "OUTDIR: cd OUTDIR && Tavrel.exe NAME.spec MIN_SUP\n"
         "\n"
         "Formats:\n"
         "  spmf   integer item ids, -1 ends an itemset, -2 ends a sequence\n"
         "  text   one sequence per line, tokens separated by blanks or commas\n"
         "  pairs  one event per line: a case id and an item, separated by blanks\n"
         "  csv    an event log with a header row; needs --case and --activity\n"
         "\n"
         "Options:\n"
         "  --case COL          the column holding the case id (csv)\n"
         "  --activity COL      the column holding the activity (csv)\n"
         "  --time COL          the column holding the timestamp (csv, optional):\n"
         "                      numbers compare as numbers, anything else as text\n"
         "  --comment PREFIX    skip the lines that start with PREFIX\n"
         "  --strict-repeats    an item that occurs twice in a sequence is an error\n"
         "                      (by default later occurrences are dropped)\n"
         "  --help              print this text\n";
}

int parsePrepOptions(int argc, const char* const* argv, PrepOptions* options, std::string* error) {
  std::vector<std::string> operands;
  bool formatGiven = false;
  ArgumentScanner scanner{argc, argv};
  Argument argument;
  int status;
  while ((status = nextArgument(&scanner, "--help --strict-repeats",
                                "--format --case --activity --time --comment", &argument, error)) >
         0) {
    std::string_view key = argument.key;
    if (argument.isOperand) {
      operands.emplace_back(argument.value);
      continue;
    }
    if (key == "--help" || key == "--strict-repeats") {
      (key == "--help" ? options->help : options->strictRepeats) = true;
      continue;
    }
    if (argument.value.empty()) {
      *error = "option " + std::string(key) + " needs a non-empty value";
      return -1;
    }
    std::string value(argument.value);
    if (key == "--comment") {
      options->comment = value;
      continue;
    }
    if (key == "--case") {
      options->columns.caseColumn = value;
    } else if (key == "--activity") {
      options->columns.activityColumn = value;
    } else if (key == "--time") {
      options->columns.timeColumn = value;
    } else if (value == "spmf") {
      options->format = InputFormat::kSpmf;
    } else if (value == "text") {
      options->format = InputFormat::kText;
    } else if (value == "pairs") {
      options->format = InputFormat::kPairs;
    } else if (value == "csv") {
      options->format = InputFormat::kCsv;
    } else {
      *error = "unknown format '" + value + "' (use spmf, text, pairs or csv)";
      return -1;
    }
    if (key == "--format") formatGiven = true;
  }
  if (status < 0) return -1;
  if (options->help) return 0;
  if (!formatGiven) {
    *error = "--format is required";
    return -1;
  }
  const EventLogColumns& columns = options->columns;
  if (options->format == InputFormat::kCsv) {
    if (columns.caseColumn.empty() || columns.activityColumn.empty()) {
      *error = "--format csv needs --case and --activity";
      return -1;
    }
  } else if (!columns.caseColumn.empty() || !columns.activityColumn.empty() ||
             !columns.timeColumn.empty()) {
    *error = "--case, --activity and --time apply to --format csv only";
    return -1;
  }
  if (operands.size() < 2 || operands.size() > 3) {
    *error = operands.size() < 2 ? "INPUT and OUTDIR are required" : "too many operands";
    return -1;
  }
  options->input = operands[0];
  options->outDir = operands[1];
  if (options->outDir.empty()) {
    *error = "OUTDIR is empty";
    return -1;
  }
  options->name = operands.size() == 3 ? operands[2] : defaultName(options->input);
  return checkName(options->name, error);
}

}  // namespace tavrel::tools
