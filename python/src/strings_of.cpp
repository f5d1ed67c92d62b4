#include "strings_of.h"

#include <span>
#include <utility>
#include <vector>

#include "show/pattern_strings.h"

namespace py = pybind11;

namespace tavrel::python {

namespace {

// The patterns `which` of the arrays, numbered from 1 in the arrays' order.
std::vector<tools::Pattern> chosenPatterns(const Supports& supports, const Offsets& offsets,
                                           const EdgeRows& edges, const Indices& which) {
  auto support = supports.unchecked<1>();
  auto offset = offsets.unchecked<1>();
  auto edge = edges.unchecked<2>();
  auto index = which.unchecked<1>();
  std::vector<tools::Pattern> patterns(static_cast<std::size_t>(index.shape(0)));
  for (py::ssize_t j = 0; j < index.shape(0); ++j) {
    std::int64_t k = index(j);
    if (k < 0 || k >= support.shape(0)) throw py::index_error("pattern index out of range");
    tools::Pattern& pattern = patterns[static_cast<std::size_t>(j)];
    pattern.number = k + 1;
    pattern.support = support(k);
    for (std::int64_t row = offset(k); row < offset(k + 1); ++row) {
      pattern.edges.push_back({edge(row, 0), edge(row, 1)});
    }
  }
  return patterns;
}

// The rows as numpy arrays, each row mapped through `position` when given.
py::list toArrays(const std::vector<std::vector<int>>& rows,
                  const std::vector<std::int64_t>* position) {
  py::list out;
  for (const std::vector<int>& found : rows) {
    py::array_t<std::int64_t> array(static_cast<py::ssize_t>(found.size()));
    auto put = array.mutable_unchecked<1>();
    for (std::size_t s = 0; s < found.size(); ++s) {
      put(static_cast<py::ssize_t>(s)) =
          position != nullptr ? (*position)[static_cast<std::size_t>(found[s])] : found[s];
    }
    out.append(std::move(array));
  }
  return out;
}

}  // namespace

py::list stringsOfSequences(const EncodedStrings& strings, const Supports& supports,
                            const Offsets& offsets, const EdgeRows& edges, const Indices& which) {
  std::vector<tools::Pattern> patterns = chosenPatterns(supports, offsets, edges, which);
  std::vector<std::vector<int>> rows;
  {
    py::gil_scoped_release released;
    tools::StringMatcher matcher(patterns, static_cast<int>(strings.itemCount));
    for (std::size_t s = 0; s < strings.count(); ++s) {
      const std::int32_t* first = strings.items.data() + strings.offsets[s];
      matcher.match(std::span<const int>(first, strings.offsets[s + 1] - strings.offsets[s]),
                    static_cast<int>(s));
    }
    rows = std::move(matcher.rows());
  }
  return toArrays(rows, &strings.positions);
}

py::list stringsOfSpec(const std::string& specPath, const Supports& supports,
                       const Offsets& offsets, const EdgeRows& edges, const Indices& which) {
  std::vector<tools::Pattern> patterns = chosenPatterns(supports, offsets, edges, which);
  tools::StringsSource source;
  std::vector<std::vector<int>> rows;
  Result found;
  {
    py::gil_scoped_release released;
    found = tools::openStringsSource(specPath, &source);
    if (found.ok()) found = tools::findStrings(source, patterns, &rows);
  }
  if (!found.ok()) throw py::value_error(std::string(found.message()));
  return toArrays(rows, nullptr);
}

}  // namespace tavrel::python
