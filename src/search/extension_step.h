// One step of the search: trying one candidate of a frame as an extension
// of the frame's pattern. A step that accepts the candidate fills the next
// frame with the closed pattern it leads to and, when that pattern has
// candidates of its own, with its strings.
#pragma once

#include "search/search_frame.h"

namespace tavrel {

enum class StepResult {
  kRejected,     // the closure holds an edge before the candidate outside the pattern
  kLeaf,         // accepted; the child's pattern is made and it has no candidates
  kChild,        // accepted; the child frame is ready to be searched
  kOutOfMemory,  // nothing was accepted
};

// Tries candidate `i` of the horizontal frame `frame` (not absorbed, its
// bucket holding its transactions) and makes `child` (at `childDepth`).
// Marks the later candidates that the extension absorbs.
StepResult extendHorizontal(Frame& frame, int i, Frame& child, int childDepth,
                            SearchScratch& scratch);

// The same for a vertical frame, whose row sets are in `base`. When the
// child's rows are few among the words they lie in, the child gets row
// sets of its own with only its rows (it becomes a base).
StepResult extendVertical(Frame& frame, int i, const VerticalBase& base, Frame& child,
                          int childDepth, SearchScratch& scratch);

// Gets a frame whose strings have been written ready for its loop: its
// per-candidate marks cleared, and its strings in the cheaper of the two
// forms (a horizontal level ready for delivery, or a vertical base).
bool prepareFrame(Frame& frame, int depth, const SearchScratch& scratch);

}  // namespace tavrel
