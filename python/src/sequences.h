// Python sequences of labels turned into the library's strings: labels
// become item numbers, later occurrences of a label in a sequence and
// empty sequences are dropped and counted.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrel::python {

// Strings in the flat form of StringSource::strings(): string k is
// items[offsets[k] .. offsets[k + 1]).
struct EncodedStrings {
  std::vector<std::int32_t> items;
  std::vector<std::size_t> offsets{0};
  // The label of each item number.
  pybind11::list labels;
  // True when every label is an int in 0 .. INT_MAX, so that the labels
  // can stand for themselves where an item number is wanted.
  bool labelsAreItemNumbers = false;
  std::int64_t sequences = 0;       // sequences given
  std::int64_t droppedRepeats = 0;  // later occurrences of a label left out
  std::int64_t droppedEmpty = 0;    // empty sequences left out
  // The position of each string among the sequences given (empty ones
  // left out shift the later strings).
  std::vector<std::int64_t> positions;
  std::size_t itemCount = 0;  // labels.size(), readable without the GIL

  std::size_t count() const { return offsets.size() - 1; }
};

// Reads every sequence of the iterable `sequences`. Items are numbered in
// the sorted order of their labels when every label is an int (a
// numbers.Integral other than a bool, as numpy's integers) or every label
// is a str, and in the order of their first appearance otherwise. Raises TypeError for a sequence
// that is a str or bytes, is not iterable, or holds an unhashable label, and KeyboardInterrupt when
// a signal arrives while reading.
EncodedStrings encodeSequences(pybind11::handle sequences);

}  // namespace tavrel::python
