// One step of the search: trying one candidate of a frame as an extension
// of the frame's pattern, through a cursor over a range of the frame's
// candidates. A step that accepts the candidate fills a new frame with the
// closed pattern it leads to and, when that pattern has candidates of its
// own, with its strings.
#pragma once

#include "search/search_frame.h"

namespace tavrel {

enum class StepResult {
  // The closure holds an edge before the candidate outside the pattern;
  // or, under conditions, the candidate is not tried (search_conditions.h).
  kRejected,
  // Accepted; the child's pattern is made, and it has no candidates or,
  // under conditions, nothing below it can pass them.
  kLeaf,
  kChild,        // accepted; the child frame is ready to be searched
  kOutOfMemory,  // nothing was accepted
};

// Gets a frame whose pattern, candidates and strings have been written
// ready for its loop: its absorption marks cleared, and its strings in the
// cheaper of the two forms (a vertical frame made from a horizontal level
// becomes the base of its vertical run). False when memory ran out.
bool prepareFrame(FrameData& frame, const SearchShared& shared);

// Opens `cursor` on the candidates [from, end) of `frame`. False when
// memory ran out.
bool openCursor(Cursor& cursor, FrameData& frame, int from, int end);

// Tries the cursor's candidate `i` and makes `child`. The earlier
// candidates of the cursor's range must have been tried through it, in
// order; those before its range (another cursor's) need not have been.
// Marks the later candidates that the extension absorbs. Call finishStep()
// afterwards, whatever the result.
StepResult extend(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch);

// Ends the step of candidate `i` (a horizontal frame's transactions move on
// to their next buckets).
void finishStep(Cursor& cursor, int i);

}  // namespace tavrel
