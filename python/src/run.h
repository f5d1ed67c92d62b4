// A whole run of the library for Python: mine() works on a thread of its
// own (run_thread.h) while the calling thread waits without the GIL, wakes
// every few tens of milliseconds to look for a signal (Ctrl-C) and hands
// new patterns to a Python callback; the patterns are kept in flat arrays.
#pragma once

#include <pybind11/pybind11.h>

#include "tavrel/tavrel.h"

namespace tavrel::python {

// Runs mine() on `source` and returns a dict of the run's patterns and
// edge table as numpy arrays:
//   "supports"     int32[n]    the support of each pattern
//   "offsets"      int64[n+1]  pattern k's edges are rows offsets[k] .. offsets[k+1]
//   "edges"        int32[m,2]  (before, after) item numbers, in the output's edge order
//   "edge_table"   int32[e,3]  (before, after, support) of every edge of the run
//   "string_count", "min_sup" (the least support the run used, a share
//   turned into a count), "frequent_item_count"
//   "ending"       "complete", "pattern_limit" or "stopped"
// `deliver`, unless None, is called on the calling thread as
// deliver(first, supports, offsets, edges) with each batch of new patterns
// (offsets relative to the batch, from 0); it returns None to go on, or the
// number of the batch's patterns to keep, which stops the run there.
// Raises ValueError with the library's message for defective input or
// options, MemoryError when memory ran out, and whatever a signal handler
// or `deliver` raised, after the run has stopped and freed everything;
// then `partial` receives the patterns found before the run stopped, as
// the keys above with "ending" set to "interrupted".
pybind11::dict runMining(const StringSource& source, const MineOptions& options,
                         pybind11::object deliver, pybind11::dict partial);

}  // namespace tavrel::python
