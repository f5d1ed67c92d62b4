#include "parallel/unit_start.h"

#include <new>

#include "parallel/frame_pool.h"
#include "search/extension_step.h"

namespace tavrel::parallel {

namespace {

// Adds to `item` the level over [from, end) of `frame`, which `item` then
// holds. False, leaving the item and the hold as they were, when memory
// ran out.
bool addLevel(WorkItem& item, FrameData& frame, int from, int end) {
  Cursor* cursor = new (std::nothrow) Cursor;
  if (cursor == nullptr || !openCursor(*cursor, frame, from, end) ||
      !pushLevel(item, ItemLevel{&frame, cursor, nullptr})) {
    delete cursor;
    return false;
  }
  return true;
}

// The frame that taking candidate `step` of the item's deepest level
// leads to, held once, with its hold on its base. kChild, kOutOfMemory,
// or another StepResult when the step leads to no frame.
StepResult stepDown(WorkItem& item, int step, SearchScratch& scratch, FrameData** child) {
  Cursor& cursor = *item.levels.back().cursor;
  *child = new (std::nothrow) FrameData;
  cursor.next = step + 1;
  StepResult result =
      *child == nullptr ? StepResult::kOutOfMemory : extend(cursor, step, **child, scratch);
  finishStep(cursor, step);
  if (result != StepResult::kChild) {
    delete *child;
    *child = nullptr;
    return result;
  }
  (*child)->references.store(1, std::memory_order_relaxed);
  holdBase(*child);
  return result;
}

}  // namespace

SearchOutcome startUnit(FrameData& top, const SearchShared& shared, const WorkUnit& unit,
                        WorkItem** item) {
  SearchScratch scratch;
  WorkItem* made = new (std::nothrow) WorkItem;
  if (made == nullptr || !scratch.open(shared, static_cast<std::size_t>(top.candidateCount()))) {
    delete made;
    return SearchOutcome::kOutOfMemory;
  }
  SearchOutcome outcome = SearchOutcome::kComplete;
  FrameData* frame = &top;  // held, not yet on a level
  acquire(frame);
  // Each level of the path over its one step, then the unit's range.
  for (std::size_t k = 0;; ++k) {
    bool last = k == unit.path.size();
    int from = last ? unit.start : unit.path[k];
    int end = last ? unit.end : from + 1;
    if (from < 0 || from > end || end > frame->candidateCount()) {
      outcome = SearchOutcome::kFailed;
      break;
    }
    if (!addLevel(*made, *frame, from, end)) {
      outcome = SearchOutcome::kOutOfMemory;
      break;
    }
    frame = nullptr;
    if (last) break;
    StepResult result = stepDown(*made, from, scratch, &frame);
    if (result != StepResult::kChild) {
      outcome =
          result == StepResult::kOutOfMemory ? SearchOutcome::kOutOfMemory : SearchOutcome::kFailed;
      break;
    }
  }
  if (frame != nullptr) release(frame, nullptr);
  if (outcome != SearchOutcome::kComplete) {
    discardItem(made);
    return outcome;
  }
  *item = made;
  return outcome;
}

void discardItem(WorkItem* item) {
  for (auto level = item->levels.rbegin(); level != item->levels.rend(); ++level) {
    delete level->cursor;
    release(level->frame, nullptr);
  }
  delete item;
}

}  // namespace tavrel::parallel
