#include "prep/prep_run.h"

#include <new>
#include <string>
#include <utility>

#include "common/output_sink.h"
#include "common/report.h"
#include "prep/database.h"
#include "prep/database_files.h"
#include "prep/event_log.h"
#include "prep/input_lines.h"
#include "prep/pairs_reader.h"
#include "prep/prep_options.h"
#include "prep/spmf_reader.h"
#include "prep/text_reader.h"
#include "prep/xes_reader.h"

namespace tavrel::tools {

namespace {

constexpr const char* kProgram = "tavrel-prep";

int printHelp() {
  OutputSink out;
  out.fd = 1;
  sinkPut(&out, prepUsage());
  if (sinkFlush(&out) != 0) {
    reportMessage(kProgram, "cannot write the help text");
    return 1;
  }
  return 0;
}

// "1 thing" or "2 things".
std::string counted(long count, const std::string& thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// Says how many repeated items were dropped or numbered.
void reportRepeats(const RepeatCount& repeats, RepeatMode mode) {
  std::string what = counted(repeats.occurrences, "repeated item") + " in " +
                     counted(repeats.sequences, "sequence");
  reportMessage(kProgram, mode == RepeatMode::kNumber
                              ? "numbered " + what + " (a later 'a' becomes 'a#2', 'a#3', ...)"
                              : "dropped " + what + " (the first occurrence is kept)");
}

// Says how the timestamps of an event log were put in order.
void reportTimeOrder(const EventLogFormat& log, TimeOrder order) {
  const std::string& column = log.columns.timeColumn;
  std::string how = order == TimeOrder::kNumeric ? "compared as numbers"
                    : order == TimeOrder::kText
                        ? "compared as text"
                        : "read with --time-format " + inQuotes(log.timeFormat);
  reportMessage(kProgram,
                "timestamps in column " + (log.header ? inQuotes(column) : column) + " " + how);
}

// Reads the input in its format into `set`, line by line; fails with a
// message.
Result readSequences(const PrepOptions& options, InputLines* input, SequenceSet* set) {
  switch (options.format) {
    case InputFormat::kSpmf:
      return readSpmf(input, options.input, options.comment, set);
    case InputFormat::kText:
      return readTextSequences(input, options.comment, set);
    case InputFormat::kPairs:
      return readPairs(input, options.input, options.comment, set);
    case InputFormat::kCsv: {
      TimeOrder order = TimeOrder::kFileOrder;
      Result read = readEventLog(input, options.input, options.comment, options.log, set, &order);
      if (read.ok() && order != TimeOrder::kFileOrder) reportTimeOrder(options.log, order);
      return read;
    }
    case InputFormat::kXes:
      return readXesLog(input, options.input, set);
  }
  return Result();
}

int prepare(const PrepOptions& options) {
  SequenceSet set;
  RepeatCount repeats;
  InputLines input;
  Result read = input.open(options.input);
  if (read.ok()) read = readSequences(options, &input, &set);
  if (read.ok()) read = resolveRepeats(&set, options.repeats, options.input, &repeats);
  if (!read.ok()) {
    reportMessage(kProgram, read.message());
    return 1;
  }
  if (set.emptyDropped > 0) {
    reportMessage(kProgram, "dropped " + counted(set.emptyDropped, "empty sequence"));
  }
  if (repeats.occurrences > 0) reportRepeats(repeats, options.repeats);
  if (sequenceCount(set) == 0) {
    reportMessage(kProgram, options.input + ": no sequence with items; nothing written");
    return 1;
  }
  Database database;
  buildDatabase(std::move(set), &database);
  Result written = writeDatabaseFiles(options.outDir, options.name, database);
  if (!written.ok()) {
    reportMessage(kProgram, written.message());
    return 1;
  }
  reportMessage(kProgram, "wrote " + counted(static_cast<long>(stringCount(database)), "string") +
                              " over " +
                              counted(static_cast<long>(database.labels.size()), "item") +
                              " (longest " + std::to_string(database.longest) + ") to " +
                              options.name + ".db, " + options.name + ".spec, " + options.name +
                              ".items.tsv and " + options.name + ".cases.tsv in " + options.outDir);
  return 0;
}

}  // namespace

int runPrep(int argc, const char* const* argv) {
  try {
    PrepOptions options;
    Result parsed = parsePrepOptions(argc, argv, &options);
    if (!parsed.ok()) {
      reportMessage(kProgram, std::string(parsed.message()) + " (see tavrel-prep --help)");
      return 2;
    }
    return options.help ? printHelp() : prepare(options);
  } catch (const std::bad_alloc&) {
    reportMessage(kProgram, "out of memory");
    return 1;
  }
}

}  // namespace tavrel::tools
