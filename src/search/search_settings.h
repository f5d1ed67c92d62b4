// The one place where a search's shared settings (SearchShared) are made
// from the options of a run: on one thread, on several, or in a rank of a
// search spread over processes.
#pragma once

#include <algorithm>
#include <atomic>

#include "search/search_frame.h"

namespace tavrel {

// Sets `shared` for a search of the patterns of support >= minSup on
// `threads` threads (at least 1) with frames chosen by `policy`; rows are
// counted with vector instructions when the processor has them and
// `vectorRows` allows it; the top frame's pairs stop being counted once
// `stop` (when given) becomes true; only the patterns that pass
// `conditions` (when given) are handed over.
inline void setSearchSettings(SearchShared& shared, int minSup, int threads, FramePolicy policy,
                              bool vectorRows, const std::atomic<bool>* stop,
                              const SearchConditions* conditions) {
  shared.minSup = minSup;
  shared.threads = std::max(1, threads);
  shared.policy = policy;
  shared.vectorRows = vectorRowsAvailable() && vectorRows;
  shared.stop = stop;
  shared.conditions = conditions;
}

}  // namespace tavrel
