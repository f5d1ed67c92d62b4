#include "search/closed_search.h"

#include <new>

#include "search/extension_step.h"
#include "search/search_conditions.h"
#include "search/search_frame.h"
#include "search/search_settings.h"
#include "search/top_frame.h"

namespace tavrel {

// How the search works.
//
// A closed pattern P is reached from exactly one parent: the closed pattern
// Q and the edge c (P's extension edge) such that P is the closure of
// Q + c, the set of edges that every string holding Q and c holds, and that
// closure holds no edge before c outside Q. From the top (the edges that
// every string holds), each frame takes the candidates after its own
// extension edge in ascending edgeId and accepts a candidate e when the
// closure of P + e holds no edge before e outside P. That is the order of
// extending each pattern edge by edge and testing each extension's closure
// over all strings: the same patterns, each once, in the same order.
//
// The closure test splits by where the earlier edge m could stand.
// - m after c: then m is a candidate of the frame (it is in at least
//   |Occ(P + e)| >= minSup of P's strings, not in all). Take the smallest
//   such m. It is accepted itself, since what rejects or absorbs m would be
//   a smaller such edge. When the frame accepted m it counted e in m's
//   strings; the count equals e's count in P exactly when all of e's
//   strings hold m, and then e was marked absorbed.
// - m before c: by the same argument one level up, the smallest such m is
//   an extension accepted by an ancestor frame, before the extension edge
//   that the path took there, that still shares at least minSup strings
//   with P. Those are the frame's witnesses; e fails when all of its
//   strings hold one of them.
// So a frame needs its candidates' counts, the absorption marks, and its
// witnesses; its strings are reduced to their later candidates (merged
// when equal) and to which witnesses each holds.
//
// The strings of a frame are either merged transactions with witness bits
// (horizontal: one sweep over the transactions delivers each candidate's
// transactions, and the child of e counts the items after e in them), or
// row sets (vertical: each candidate's and witness's strings as a bit set,
// and a child's counts are intersections of bit sets). A frame takes
// whichever form costs fewer operations; once vertical, its descendants
// work on the same row sets with the set of rows that hold their pattern.
// Neither form changes which patterns are accepted, nor their order.

namespace {

// The frames of the path and their cursors, deepest last; their memory is
// kept and used again when the search comes back to a depth.
class Path {
 public:
  ~Path() {
    for (FrameData* frame : frames_) delete frame;
    for (Cursor* cursor : cursors_) delete cursor;
  }
  // Makes the frame and the cursor at `depth` when the search first gets
  // there. False when memory ran out.
  bool reach(int depth) {
    std::size_t k = static_cast<std::size_t>(depth);
    while (frames_.size() <= k) {
      if (!frames_.reserve(frames_.size() + 1) || !cursors_.reserve(cursors_.size() + 1)) {
        return false;
      }
      FrameData* frame = new (std::nothrow) FrameData;
      Cursor* cursor = new (std::nothrow) Cursor;
      if (frame == nullptr || cursor == nullptr) {
        delete frame;
        delete cursor;
        return false;
      }
      frames_.push(frame);  // room was reserved above
      cursors_.push(cursor);
    }
    return true;
  }
  FrameData& frame(int depth) { return *frames_[static_cast<std::size_t>(depth)]; }
  Cursor& cursor(int depth) { return *cursors_[static_cast<std::size_t>(depth)]; }

 private:
  Buffer<FrameData*> frames_;
  Buffer<Cursor*> cursors_;
};

// The search from the opened top frame down. With kObserved the observer
// is told of every step; without, the loop holds no trace of it.
template <bool kObserved>
SearchOutcome searchFrom(Path& path, SearchScratch& scratch, ClosedSetSink& sink,
                         const SearchOptions& options) {
  SearchObserver* observer = options.observer;
  int depth = 0;
  while (depth >= 0) {
    if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed)) {
      return SearchOutcome::kStopped;
    }
    Cursor& cursor = path.cursor(depth);
    if (cursor.next >= cursor.end) {
      --depth;
      if constexpr (kObserved) {
        if (depth >= 0) observer->stepEnds(depth);
      }
      continue;
    }
    int i = cursor.next++;
    if constexpr (kObserved) observer->stepBegins(depth);
    if (depth == 0 && options.progress != nullptr) {
      options.progress->topEdgesReached.store(i + 1, std::memory_order_relaxed);
    }
    if (!path.reach(depth + 1)) return SearchOutcome::kOutOfMemory;
    FrameData& child = path.frame(depth + 1);
    StepResult result = extend(cursor, i, child, scratch);
    finishStep(cursor, i);
    if (result == StepResult::kOutOfMemory) return SearchOutcome::kOutOfMemory;
    if (result != StepResult::kRejected && handsOver(options.conditions, child) &&
        !sink.take(child.pattern.data(), static_cast<int>(child.pattern.size()), child.support)) {
      return SearchOutcome::kStopped;
    }
    if (result != StepResult::kChild) {
      if constexpr (kObserved) observer->stepEnds(depth);
      continue;
    }
    if constexpr (kObserved) observer->cursorOpens(depth + 1);
    if (!openCursor(path.cursor(depth + 1), child, 0, child.candidateCount())) {
      return SearchOutcome::kOutOfMemory;
    }
    ++depth;
  }
  return SearchOutcome::kComplete;
}

SearchOutcome runSearch(EdgeDatabase& database, int minSup, ClosedSetSink& sink,
                        const SearchOptions& options) {
  SearchShared shared;
  setSearchSettings(shared, minSup, 1, options.policy, options.vectorRows, options.stop,
                    options.conditions);
  Path path;
  SearchScratch scratch;
  if (!path.reach(0) || !openTopFrame(database, path.frame(0), shared) ||
      !scratch.open(shared, path.frame(0).edgeOf.size())) {
    return SearchOutcome::kOutOfMemory;
  }
  if (options.observer != nullptr) options.observer->cursorOpens(0);
  FrameData& top = path.frame(0);
  if (!openCursor(path.cursor(0), top, 0, topCandidatesSearched(options.conditions, top))) {
    return SearchOutcome::kOutOfMemory;
  }
  if (options.progress != nullptr) options.progress->topEdges.store(top.candidateCount());
  if (!top.pattern.empty() && handsOver(options.conditions, top) &&
      !sink.take(top.pattern.data(), static_cast<int>(top.pattern.size()), top.support)) {
    return SearchOutcome::kStopped;
  }
  return options.observer != nullptr ? searchFrom<true>(path, scratch, sink, options)
                                     : searchFrom<false>(path, scratch, sink, options);
}

}  // namespace

SearchOutcome searchClosed(EdgeDatabase database, int minSup, ClosedSetSink& sink,
                           const SearchOptions& options) {
  return runSearch(database, minSup, sink, options);
}

}  // namespace tavrel
