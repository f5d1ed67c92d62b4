#include "logs_and_pictures.h"

#include <pybind11/stl.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "prep/input_lines.h"
#include "prep/sequence_set.h"
#include "prep/xes_reader.h"
#include "show/graphviz_render.h"

namespace py = pybind11;

namespace tavrel::python {

namespace {

// The traces of the XES log at `path`: the activities of each trace as
// strs, and the trace's case ids. OSError when the file cannot be opened,
// ValueError with the reader's message for a malformed log.
std::pair<std::vector<std::vector<std::string>>, std::vector<std::string>> readXes(
    const std::string& path) {
  tools::SequenceSet set;
  Result opened;
  Result read;
  {
    py::gil_scoped_release release;
    tools::InputLines input;
    opened = input.open(path);
    if (opened.ok()) read = tools::readXesLog(&input, path, &set);
  }
  if (!opened.ok()) {
    PyErr_SetString(PyExc_OSError, std::string(opened.message()).c_str());
    throw py::error_already_set();
  }
  if (!read.ok()) throw py::value_error(std::string(read.message()));
  std::vector<std::vector<std::string>> sequences(tools::sequenceCount(set));
  for (std::size_t s = 0; s < sequences.size(); ++s) {
    for (std::size_t k = set.starts[s]; k < set.starts[s + 1]; ++k) {
      sequences[s].push_back(set.labels[static_cast<std::size_t>(set.keys[k])]);
    }
  }
  return {std::move(sequences), std::move(set.caseNames)};
}

// The SVG picture of the DOT graph `dot`, laid out and drawn by Graphviz's
// library; RuntimeError with Graphviz's reason when it fails.
std::string renderSvg(const std::string& dot) {
  std::string picture;
  Result drawn;
  {
    py::gil_scoped_release release;
    tools::GraphvizRenderer renderer;
    drawn = renderer.render(dot, "svg", &picture);
  }
  if (!drawn.ok()) throw std::runtime_error("Graphviz: " + std::string(drawn.message()));
  return std::string(tools::svgElement(picture));
}

}  // namespace

void bindLogsAndPictures(py::module_& module) {
  module.def("read_xes", &readXes, py::arg("path"));
  module.def("render_svg", &renderSvg, py::arg("dot"));
}

}  // namespace tavrel::python
