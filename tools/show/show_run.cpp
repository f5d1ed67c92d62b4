#include "show/show_run.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "common/item_table.h"
#include "common/output_sink.h"
#include "common/report.h"
#include "common/text_input.h"
#include "show/dot_output.h"
#include "show/miner_output.h"
#include "show/record_output.h"
#include "show/selection.h"
#include "show/show_options.h"
#include "show/summary_output.h"

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

// Checks that the item table names every item of the chosen patterns.
int checkLabels(const std::vector<Pattern>& patterns, const std::vector<std::size_t>& chosen,
                const ItemTable& table, const std::string& tablePath, std::string* error) {
  for (std::size_t index : chosen) {
    for (const Edge& edge : patterns[index].edges) {
      for (int item : {edge.from, edge.to}) {
        if (findLabel(table, item) == nullptr) {
          *error = tablePath + ": no label for item " + std::to_string(item) + " of pattern " +
                   std::to_string(patterns[index].number) + " (is it the table of this database?)";
          return -1;
        }
      }
    }
  }
  return 0;
}

void putPatterns(OutputSink* out, const ShowOptions& options, const std::vector<Pattern>& patterns,
                 const std::vector<std::size_t>& chosen, const ItemTable* table) {
  switch (options.format) {
    case ShowFormat::kSummary:
      putSummary(out, patterns, chosen, table);
      break;
    case ShowFormat::kDot:
      for (std::size_t index : chosen) {
        bool cycle = false;
        putDotGraph(out, patterns[index], table, options.allEdges, &cycle);
        if (cycle) {
          reportMessage(kProgram, "the edges of pattern " + std::to_string(patterns[index].number) +
                                      " form a cycle; all of them are drawn");
        }
      }
      break;
    case ShowFormat::kJsonLines:
      for (std::size_t index : chosen) putJsonRecord(out, patterns[index], table);
      break;
    case ShowFormat::kCsv:
      putCsvHeader(out);
      for (std::size_t index : chosen) putCsvRecord(out, patterns[index], table);
      break;
  }
}

int show(const ShowOptions& options) {
  OutputSink out;
  out.fd = 1;
  std::string text;
  std::string error;
  std::vector<Pattern> patterns;
  std::vector<std::size_t> chosen;
  ItemTable table;
  bool labelled = !options.itemsPath.empty();
  std::string inputName = options.input == "-" ? "standard input" : options.input;
  if (readWholeFile(options.input, &text, &error) != 0 ||
      parseMinerOutput(text, inputName, &patterns, &error) != 0 ||
      selectPatterns(patterns, options.selection, &chosen, &error) != 0 ||
      (labelled && (readItemTable(options.itemsPath, &table, &error) != 0 ||
                    checkLabels(patterns, chosen, table, options.itemsPath, &error) != 0))) {
    reportMessage(kProgram, error);
    return 1;
  }
  putPatterns(&out, options, patterns, chosen, labelled ? &table : nullptr);
  return finishOutput(&out);
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
    std::string error;
    if (parseShowOptions(argc, argv, &options, &error) != 0) {
      reportMessage(kProgram, error + " (see tavrel-show --help)");
      return 2;
    }
    return options.help ? printHelp() : show(options);
  } catch (const std::bad_alloc&) {
    reportMessage(kProgram, "out of memory");
    return 1;
  }
}

}  // namespace tavrel::tools
