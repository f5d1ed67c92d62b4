// The extension module tavrel._tavrel: the library's run, the miner
// output's reader and tavrel-show's drawing, for the Python package
// around it (python/tavrel/), which is the interface people use.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "arrays.h"
#include "common/item_table.h"
#include "formats/miner_output.h"
#include "logs_and_pictures.h"
#include "run.h"
#include "sequences.h"
#include "show/dot_output.h"
#include "stream.h"
#include "strings_of.h"
#include "tavrel/tavrel.h"

namespace py = pybind11;

namespace tavrel::python {

namespace {

// Patterns read between two looks for a pending signal (Ctrl-C).
constexpr int kSignalInterval = 1 << 14;

// `minSup` strings, or the share numerator / denominator of the strings
// when `share` is not (0, 1).
using Share = std::pair<std::int64_t, std::int64_t>;

// The conditions on the patterns: (maximal, min_edges, max_edges, items,
// top), 0 and an empty list for none, checked by the library.
using Conditions = std::tuple<bool, int, int, std::vector<int>, std::int64_t>;

MineOptions mineOptions(int minSup, Share share, int threads, std::int64_t maxPatterns,
                        const Conditions& conditions) {
  MineOptions options;
  options.minSup = minSup;
  options.minSupShare = {share.first, share.second};
  options.threads = threads;
  options.maxPatterns = maxPatterns;
  std::tie(options.maximal, options.minEdges, options.maxEdges, options.items, options.top) =
      conditions;
  return options;
}

StringSource stringSource(const EncodedStrings& strings) {
  return StringSource::strings(strings.items.data(), strings.offsets.data(), strings.count(),
                               static_cast<int>(strings.labels.size()));
}

py::dict mineStrings(const EncodedStrings& strings, int minSup, Share share, int threads,
                     std::int64_t maxPatterns, const Conditions& conditions, py::object deliver,
                     py::dict partial) {
  return runMining(stringSource(strings),
                   mineOptions(minSup, share, threads, maxPatterns, conditions), std::move(deliver),
                   std::move(partial));
}

py::dict mineSpec(const std::string& specPath, int minSup, Share share, int threads,
                  std::int64_t maxPatterns, const Conditions& conditions, py::object deliver,
                  py::dict partial) {
  return runMining(StringSource::specFile(specPath),
                   mineOptions(minSup, share, threads, maxPatterns, conditions), std::move(deliver),
                   std::move(partial));
}

std::unique_ptr<MiningStream> streamStrings(py::object strings, int minSup, Share share,
                                            int threads, std::int64_t maxPatterns,
                                            const Conditions& conditions, std::size_t batch) {
  StringSource source = stringSource(strings.cast<const EncodedStrings&>());
  return std::make_unique<MiningStream>(
      source, mineOptions(minSup, share, threads, maxPatterns, conditions), std::move(strings),
      batch);
}

std::unique_ptr<MiningStream> streamSpec(const std::string& specPath, int minSup, Share share,
                                         int threads, std::int64_t maxPatterns,
                                         const Conditions& conditions, std::size_t batch) {
  return std::make_unique<MiningStream>(
      StringSource::specFile(specPath),
      mineOptions(minSup, share, threads, maxPatterns, conditions), py::none(), batch);
}

// Reads the miner's output from the open file `fd` or from the bytes
// `text`, through the one reader of the format.
py::dict readOutput(std::optional<int> fd, std::optional<py::bytes> text, const std::string& name) {
  formats::MinerOutputReader reader;
  reader.name = name;
  if (fd) {
    reader.lines.adopt(*fd, false);
  } else {
    reader.lines = LineInput::overText(std::string(text.value_or(py::bytes())));
  }
  PatternArrays arrays;
  formats::OutputPattern pattern;
  int status;
  std::vector<std::int32_t> items;
  while ((status = formats::nextPattern(&reader, &pattern)) > 0) {
    items.clear();
    for (const formats::OutputEdge& edge : pattern.edges) {
      items.push_back(edge.from);
      items.push_back(edge.to);
    }
    if (!arrays.add(pattern.support, items.data(), pattern.edges.size())) throw std::bad_alloc();
    if (reader.patternsRead % kSignalInterval == 0 && PyErr_CheckSignals() != 0) {
      throw py::error_already_set();
    }
  }
  if (status < 0) throw py::value_error(std::string(reader.failure.message()));
  py::dict out;
  putPatternArrays(arrays, out);
  out["complete"] = reader.complete;
  out["capped"] = reader.capped;
  return out;
}

// tavrel-show's DOT picture of one pattern. `edges` holds (before, after)
// rows of item numbers; `labels` names the items, or None to show numbers.
std::string dotGraph(
    int number, int support,
    const py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>& edges,
    const std::optional<std::map<int, std::string>>& labels, bool allEdges) {
  if (edges.ndim() != 2 || edges.shape(1) != 2) {
    throw py::value_error("edges must be an array of (before, after) rows");
  }
  formats::OutputPattern pattern;
  pattern.number = number;
  pattern.support = support;
  auto rows = edges.unchecked<2>();
  for (py::ssize_t row = 0; row < rows.shape(0); ++row) {
    pattern.edges.push_back({rows(row, 0), rows(row, 1)});
  }
  tools::ItemTable table;
  if (labels) table.labels = *labels;
  bool cycle = false;
  return tools::dotGraph(pattern, labels ? &table : nullptr, allEdges, &cycle);
}

}  // namespace

}  // namespace tavrel::python

PYBIND11_MODULE(_tavrel, module) {
  using namespace tavrel::python;
  module.doc() = "The compiled part of tavrel; use the package tavrel, not this module.";
  module.attr("__version__") = TAVREL_VERSION;

  py::class_<EncodedStrings>(module, "EncodedStrings")
      .def_property_readonly("labels", [](const EncodedStrings& s) { return s.labels; })
      .def_readonly("labels_are_item_numbers", &EncodedStrings::labelsAreItemNumbers)
      .def_readonly("sequences", &EncodedStrings::sequences)
      .def_readonly("dropped_repeats", &EncodedStrings::droppedRepeats)
      .def_readonly("dropped_empty", &EncodedStrings::droppedEmpty)
      .def_property_readonly("string_count", &EncodedStrings::count);

  module.def("encode", &encodeSequences, py::arg("sequences"));
  module.def("mine_strings", &mineStrings, py::arg("strings"), py::arg("min_sup"), py::arg("share"),
             py::arg("threads"), py::arg("max_patterns"), py::arg("conditions"), py::arg("deliver"),
             py::arg("partial"));
  module.def("mine_spec", &mineSpec, py::arg("spec_path"), py::arg("min_sup"), py::arg("share"),
             py::arg("threads"), py::arg("max_patterns"), py::arg("conditions"), py::arg("deliver"),
             py::arg("partial"));

  py::class_<MiningStream>(module, "MiningStream")
      .def("next", &MiningStream::next)
      .def("ending", &MiningStream::ending)
      .def("close", &MiningStream::close);
  module.def("stream_strings", &streamStrings, py::arg("strings"), py::arg("min_sup"),
             py::arg("share"), py::arg("threads"), py::arg("max_patterns"), py::arg("conditions"),
             py::arg("batch"));
  module.def("stream_spec", &streamSpec, py::arg("spec_path"), py::arg("min_sup"), py::arg("share"),
             py::arg("threads"), py::arg("max_patterns"), py::arg("conditions"), py::arg("batch"));
  module.def("strings_of_sequences", &stringsOfSequences, py::arg("strings"), py::arg("supports"),
             py::arg("offsets"), py::arg("edges"), py::arg("which"));
  module.def("strings_of_spec", &stringsOfSpec, py::arg("spec_path"), py::arg("supports"),
             py::arg("offsets"), py::arg("edges"), py::arg("which"));
  module.def("read_output", &readOutput, py::arg("fd"), py::arg("text"), py::arg("name"));
  bindLogsAndPictures(module);
  module.def("dot_graph", &dotGraph, py::arg("number"), py::arg("support"), py::arg("edges"),
             py::arg("labels"), py::arg("all_edges"));
}
