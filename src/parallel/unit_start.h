// Starting a unit of work (parallel_search.h's WorkUnit) in a search of
// its own: the frames on the unit's path are made again, and the first
// work item stands on them, one level per path step over that step alone,
// then one over the unit's range.
#pragma once

#include "parallel/parallel_search.h"
#include "parallel/work_item.h"

namespace tavrel::parallel {

// Makes the first item of `unit` below `top` (which stays the caller's:
// its reference count counts the caller's hold, and the item takes one
// more), with the scratch of a search by `shared`. kComplete with *item
// set; kFailed when a path step leads to no frame or the range does not
// fit its frame, kOutOfMemory when memory ran out: then nothing is held.
SearchOutcome startUnit(FrameData& top, const SearchShared& shared, const WorkUnit& unit,
                        WorkItem** item);

// Frees an item that never reached the workers, with its cursors and its
// references to frames.
void discardItem(WorkItem* item);

}  // namespace tavrel::parallel
