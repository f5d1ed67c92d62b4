// The strings behind patterns for Python: which strings hold each of a
// batch of a result's patterns, found in one pass over the strings (kept
// in memory for tavrel.mine, read from the database for tavrel.mine_file).
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "sequences.h"

namespace tavrel::python {

using Offsets = pybind11::array_t<std::int64_t, pybind11::array::c_style>;
using EdgeRows = pybind11::array_t<std::int32_t, pybind11::array::c_style>;
using Indices =
    pybind11::array_t<std::int64_t, pybind11::array::c_style | pybind11::array::forcecast>;
using Supports = pybind11::array_t<std::int32_t, pybind11::array::c_style>;

// For pattern which[j] (an index into the result's arrays `supports`,
// `offsets`, `edges`), entry j: an int64 array of the positions (from 0)
// of the sequences given to mine() that hold it.
pybind11::list stringsOfSequences(const EncodedStrings& strings, const Supports& supports,
                                  const Offsets& offsets, const EdgeRows& edges,
                                  const Indices& which);

// As above for the database that the spec file names: the positions are
// its lines from 0. Raises ValueError when the database is not the one of
// the result (tavrel-show --strings' checks and messages).
pybind11::list stringsOfSpec(const std::string& specPath, const Supports& supports,
                             const Offsets& offsets, const EdgeRows& edges, const Indices& which);

}  // namespace tavrel::python
