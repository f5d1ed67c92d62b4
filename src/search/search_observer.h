// What the sequential search tells an observer about its steps, for the
// benchmarks that record where the time goes (see SearchOptions::observer).
#pragma once

namespace tavrel {

// Depths count frames: the top frame is at depth 0, and a step at depth d
// tries a candidate of the frame at depth d. A step that makes a child
// frame owns that frame's steps (at depth d + 1): its stepEnds() comes
// after the last of them. Calls come from the searching thread, in order.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  // A cursor is about to be opened over all candidates of the frame at
  // `depth`: the top frame's, or the child frame of the step at depth - 1.
  virtual void cursorOpens(int depth) = 0;
  // A step at `depth` begins.
  virtual void stepBegins(int depth) = 0;
  // The step at `depth` that began last is done, with all of its subtree.
  virtual void stepEnds(int depth) = 0;
};

}  // namespace tavrel
