// Patterns in flat arrays, and their hand-over to numpy without a copy.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "base/buffer.h"

namespace tavrel::python {

// Patterns as three flat arrays: pattern k has support supports[k] and the
// edges (edges[2j], edges[2j + 1]) for offsets[k] <= j < offsets[k + 1].
// The arrays grow by realloc(), which moves a large block's pages instead
// of copying them, so that a run of huge patterns never waits for a copy
// of everything found so far.
struct PatternArrays {
  Buffer<std::int32_t> supports;
  Buffer<std::int64_t> offsets;  // empty before the first pattern
  Buffer<std::int32_t> edges;

  std::size_t count() const { return supports.size(); }
  std::int64_t offset(std::size_t pattern) const { return offsets.empty() ? 0 : offsets[pattern]; }

  // Adds a pattern of `edgeCount` edges whose items are in `items` (two per
  // edge). False when memory ran out (nothing is added then).
  bool add(int support, const std::int32_t* items, std::size_t edgeCount) {
    if ((offsets.empty() && !offsets.push(0)) || !offsets.reserve(offsets.size() + 1) ||
        !supports.reserve(supports.size() + 1) || !edges.append(items, 2 * edgeCount)) {
      return false;
    }
    supports.push(support);
    offsets.push(offsets[offsets.size() - 1] + static_cast<std::int64_t>(edgeCount));
    return true;
  }

  void keepFirst(std::size_t count) {
    if (count >= supports.size()) return;
    supports.resize(count);
    offsets.resize(count + 1);
    edges.resize(static_cast<std::size_t>(offsets[count]) * 2);
  }
};

// A numpy array of the given shape over the buffer's data, which it takes.
template <typename T>
pybind11::array_t<T> toNumpy(Buffer<T>&& values, std::vector<pybind11::ssize_t> shape) {
  auto* owned = new Buffer<T>(std::move(values));
  pybind11::capsule owner(owned, [](void* data) { delete static_cast<Buffer<T>*>(data); });
  return pybind11::array_t<T>(std::move(shape), owned->data(), owner);
}

// Sets the keys "supports", "offsets" and "edges" of `out` to the arrays,
// which are emptied.
inline void putPatternArrays(PatternArrays& arrays, pybind11::dict& out) {
  auto count = static_cast<pybind11::ssize_t>(arrays.supports.size());
  auto edgeCount = static_cast<pybind11::ssize_t>(arrays.edges.size() / 2);
  if (arrays.offsets.empty() && !arrays.offsets.push(0)) throw std::bad_alloc();
  out["supports"] = toNumpy(std::move(arrays.supports), {count});
  out["offsets"] = toNumpy(std::move(arrays.offsets), {count + 1});
  out["edges"] = toNumpy(std::move(arrays.edges), {edgeCount, 2});
}

}  // namespace tavrel::python
