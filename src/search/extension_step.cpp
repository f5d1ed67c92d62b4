// The extension step's entry points: getting frames and cursors ready, and
// handing each step to its form (step_phases.h).
#include "search/extension_step.h"

#include "search/occurrence_delivery.h"
#include "search/search_conditions.h"
#include "search/step_phases.h"
#include "search/vertical_base.h"

namespace tavrel {

bool prepareFrame(FrameData& frame, const SearchShared& shared) {
  std::size_t candidates = frame.edgeOf.size();
  if (!frame.absorbed.assign(candidates, 0)) return false;
  bool vertical = shared.policy == FramePolicy::kCheapest
                      ? prefersVertical(frame.horizontal, static_cast<int>(candidates))
                      : shared.policy == FramePolicy::kVertical;
  frame.vertical = vertical;
  return !vertical || makeVerticalBase(frame);
}

bool openCursor(Cursor& cursor, FrameData& frame, int from, int end) {
  std::size_t candidates = frame.edgeOf.size();
  cursor.frame = &frame;
  cursor.next = from;
  cursor.end = end;
  cursor.rangeStart = from;
  cursor.accepted.clear();
  if (!cursor.acceptedIndex.assign(candidates, -1) || !cursor.firstColumn.assign(candidates, -1) ||
      !cursor.accepted.reserve(candidates)) {
    return false;
  }
  // Only the top frame has lists (a recycled frame may keep a top frame's).
  return frame.vertical || startDelivery(frame.horizontal, frame.candidateCount(), from,
                                         frame.top ? &frame.lists : nullptr, cursor.buckets);
}

StepResult extend(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch) {
  if (cursor.frame->isAbsorbed(i)) return StepResult::kRejected;
  const SearchConditions* conditions = scratch.shared->conditions;
  if (conditions != nullptr && conditionsSkip(*conditions, *cursor.frame, i)) {
    return StepResult::kRejected;
  }
  return cursor.frame->vertical ? extendVertical(cursor, i, child, scratch)
                                : extendHorizontal(cursor, i, child, scratch);
}

void finishStep(Cursor& cursor, int i) {
  if (cursor.frame->vertical) return;
  if (cursor.buckets.taken != i) advanceBucket(cursor.frame->horizontal, cursor.buckets, i);
  cursor.buckets.taken = -1;
}

bool SearchScratch::open(const SearchShared& searchShared, std::size_t candidates) {
  shared = &searchShared;
  return countOf.assign(candidates, 0) && childIndex.assign(candidates, -1) &&
         ownWord.assign(candidates, 0) && ownMask.assign(candidates, 0);
}

}  // namespace tavrel
