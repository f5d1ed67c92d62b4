#include "show/show_run.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/item_table.h"
#include "common/output_sink.h"
#include "common/report.h"
#include "formats/miner_output.h"
#include "show/capped_input.h"
#include "show/html_report.h"
#include "show/pattern.h"
#include "show/pattern_strings.h"
#include "show/pattern_writer.h"
#include "show/picture_writers.h"
#include "show/selection.h"
#include "show/show_options.h"
#include "show/stream_writers.h"

namespace tavrel::tools {

namespace {

constexpr const char* kProgram = "tavrel-show";

// Flushes standard output; 1 with a message when a write failed.
int finishOutput(OutputSink* out) {
  if (sinkFlush(out) != 0) {
    reportMessage(kProgram, std::string("cannot write the output: ") + std::strerror(out->error));
    return 1;
  }
  return 0;
}

std::unique_ptr<PatternWriter> makeWriter(const ShowOptions& options, const ShowContext& context,
                                          const std::string& inputName) {
  switch (options.format) {
    case ShowFormat::kSummary:
      return makeSummaryWriter(context);
    case ShowFormat::kJsonLines:
      return makeJsonLinesWriter(context);
    case ShowFormat::kCsv:
      return makeCsvWriter(context);
    case ShowFormat::kDot:
      return makePictureWriter(PictureFormat::kDot, context);
    case ShowFormat::kSvg:
      return makePictureWriter(PictureFormat::kSvg, context);
    case ShowFormat::kPng:
      return makePictureWriter(PictureFormat::kPng, context);
    case ShowFormat::kHtml:
      break;
  }
  std::size_t rows =
      options.selection.top >= 0 ? static_cast<std::size_t>(options.selection.top) : kHtmlTableRows;
  if (context.strings == nullptr) return makeHtmlWriter(context, inputName, rows);
  const StringsSource& strings = *context.strings;
  CaseSource cases = [&strings](std::span<const Pattern> patterns,
                                std::vector<SupportingCases>* found) {
    std::vector<std::vector<int>> lines;
    Result looked = findStrings(strings, patterns, &lines);
    if (!looked.ok()) return looked;
    for (const std::vector<int>& holding : lines) {
      SupportingCases pattern;
      pattern.count = static_cast<long long>(holding.size());
      for (std::size_t k = 0; k < holding.size() && k < kCaseNames; ++k) {
        pattern.names.push_back(stringId(strings, holding[k]));
      }
      found->push_back(std::move(pattern));
    }
    return Result();
  };
  return makeHtmlWriter(context, inputName, rows, std::move(cases));
}

// Checks that the item table names every item of `pattern`, and warns
// once when the pattern's support is more than the strings of the
// database the table was written for.
Result checkLabels(const Pattern& pattern, const ItemTable& table, const std::string& tablePath,
                   bool* warned) {
  for (const Edge& edge : pattern.edges) {
    for (int item : {edge.from, edge.to}) {
      if (findLabel(table, item) == nullptr) {
        return Result::failure(tablePath + ": no label for item " + std::to_string(item) +
                               " of pattern " + std::to_string(pattern.number) +
                               " (is it the table of this database?)");
      }
    }
  }
  if (!*warned && table.fingerprint && pattern.support > table.fingerprint->strings) {
    *warned = true;
    reportMessage(kProgram, "pattern " + std::to_string(pattern.number) + " has support " +
                                std::to_string(pattern.support) + ", more than the " +
                                std::to_string(table.fingerprint->strings) +
                                " strings of the database that " + tablePath +
                                " was written for; its labels may be wrong (is it the table "
                                "of this database?)");
  }
  return Result();
}

// Reads every pattern of the output and hands the chosen ones to
// `writer`, those of --top at the end in ranking order; fails with a
// message.
Result passPatterns(formats::MinerOutputReader* reader, const ShowOptions& options,
                    const ItemTable* table, PatternWriter* writer) {
  const Selection& selection = options.selection;
  TopPatterns top;
  top.limit = selection.top >= 0 ? static_cast<std::size_t>(selection.top) : 0;
  bool warned = false;
  Pattern pattern;
  int status;
  while ((status = formats::nextPattern(reader, &pattern)) > 0) {
    if (!passesFilters(selection, pattern)) continue;
    Result taken =
        table != nullptr ? checkLabels(pattern, *table, options.itemsPath, &warned) : Result();
    if (taken.ok() && selection.top >= 0) {
      offerPattern(&top, std::move(pattern));
    } else if (taken.ok()) {
      taken = writer->add(pattern);
    }
    if (!taken.ok()) return taken;
  }
  if (status < 0) return reader->failure;
  for (const Pattern& ranked : takeRanking(&top)) {
    Result added = writer->add(ranked);
    if (!added.ok()) return added;
  }
  return Result();
}

// Says that the output was cut off; an error with --strict.
void reportCutOff(const formats::MinerOutputReader& reader) {
  std::string where = reader.patternsRead == 0
                          ? "before its first pattern"
                          : "after pattern " + std::to_string(reader.patternsRead);
  reportMessage(kProgram, reader.name + " ends " + where +
                              ", without the miner's closing lines: the run was not complete");
}

// Says that the output holds only the first patterns of its run; an error
// with --strict.
void reportCapped(const formats::MinerOutputReader& reader) {
  reportMessage(kProgram, reader.name + " holds the first " + std::to_string(reader.patternsRead) +
                              " patterns of a run stopped by --max-patterns, not every pattern");
}

int show(const ShowOptions& options) {
  OutputSink out;
  out.fd = 1;
  ItemTable table;
  bool labelled = !options.itemsPath.empty();
  formats::MinerOutputReader reader;
  CappedInput capped;
  reader.name = options.input == "-" ? "standard input" : options.input;
  StringsSource strings;
  strings.table = labelled ? &table : nullptr;
  strings.tablePath = options.itemsPath;
  Result opened = labelled ? readItemTable(options.itemsPath, &table) : Result();
  if (opened.ok() && !options.stringsSpec.empty()) {
    opened = openStringsSource(options.stringsSpec, &strings);
  }
  if (opened.ok()) opened = capped.open(options.input, &reader.lines);
  if (!opened.ok()) {
    reportMessage(kProgram, opened.message());
    return 1;
  }
  ShowContext context;
  context.out = &out;
  context.table = labelled ? &table : nullptr;
  context.allEdges = options.allEdges;
  context.outputDir = options.outputDir;
  context.strings = options.stringsSpec.empty() ? nullptr : &strings;
  context.picturesChosen = options.selection.top >= 0 || !options.selection.numbers.empty();
  std::unique_ptr<PatternWriter> writer = makeWriter(options, context, reader.name);
  Result passed = passPatterns(&reader, options, context.table, writer.get());
  reader.lines.close();
  std::string fault = capped.finish();  // a line too long weighs more than what it caused
  if (!fault.empty()) passed = Result::failure(std::move(fault));
  if (passed.ok() && !reader.complete) reportCutOff(reader);
  if (passed.ok() && reader.capped) reportCapped(reader);
  if (passed.ok()) passed = checkRequestedNumbers(options.selection, reader.patternsRead);
  if (passed.ok()) passed = writer->finish(reader.patternsRead);
  if (!passed.ok()) {
    reportMessage(kProgram, passed.message());
    finishOutput(&out);
    return 1;
  }
  int written = finishOutput(&out);
  return written != 0 || (options.strict && (!reader.complete || reader.capped)) ? 1 : 0;
}

int printHelp() {
  OutputSink out;
  out.fd = 1;
  sinkPut(&out, showUsage());
  return finishOutput(&out);
}

}  // namespace

int runShow(int argc, const char* const* argv) {
  try {
    ShowOptions options;
    Result parsed = parseShowOptions(argc, argv, &options);
    if (!parsed.ok()) {
      reportMessage(kProgram, std::string(parsed.message()) + " (see tavrel-show --help)");
      return 2;
    }
    return options.help ? printHelp() : show(options);
  } catch (const std::bad_alloc&) {
    reportMessage(kProgram, "out of memory");
    return 1;
  }
}

}  // namespace tavrel::tools
