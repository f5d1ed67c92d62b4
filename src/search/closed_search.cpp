#include "search/closed_search.h"

#include <new>

#include "search/extension_step.h"
#include "search/level_writer.h"
#include "search/search_frame.h"

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

// The frames of the path, deepest last; a frame's memory is kept and used
// again when the search comes back to its depth.
class FrameStack {
 public:
  ~FrameStack() {
    for (Frame* frame : frames_) delete frame;
  }
  // The frame at `depth`, made when the search first gets there; nullptr
  // when memory ran out.
  Frame* at(int depth) {
    std::size_t k = static_cast<std::size_t>(depth);
    while (frames_.size() <= k) {
      Frame* frame = new (std::nothrow) Frame;
      if (frame == nullptr) return nullptr;
      if (!frames_.push(frame)) {
        delete frame;
        return nullptr;
      }
    }
    return frames_[k];
  }

 private:
  Buffer<Frame*> frames_;
};

// The top frame: its pattern is every edge that all strings hold, its
// candidates the other edges, its transactions the database's with
// candidate numbers, made in the database's own memory.
bool openTopFrame(EdgeDatabase& database, Frame& top, SearchScratch& scratch) {
  std::size_t edges = static_cast<std::size_t>(database.edgeCount);
  Buffer<int> local;
  if (!local.assign(edges, -1)) return false;
  top.support = database.rootSupport;
  top.pattern.clear();
  top.edgeOf.clear();
  top.count.clear();
  for (std::size_t e = 0; e < edges; ++e) {
    int support = database.supports[e];
    int edge = static_cast<int>(e);
    if (support == database.rootSupport) {
      if (!top.pattern.push(edge)) return false;
    } else if (support >= scratch.minSup) {
      local[e] = static_cast<int>(top.edgeOf.size());
      if (!top.edgeOf.push(edge) || !top.count.push(support)) return false;
    }
  }
  HorizontalLevel& level = top.horizontal;
  std::size_t written = 0;
  std::size_t kept = 0;
  level.squaredLengths = 0;
  // Offsets are overwritten as transactions shrink: each one's end is read
  // before its place is taken.
  std::size_t end = database.offsets[0];
  for (std::size_t t = 0; t < database.transactionCount(); ++t) {
    std::size_t start = written;
    std::size_t begin = end;
    end = database.offsets[t + 1];
    for (std::size_t k = begin; k < end; ++k) {
      int c = local[database.items[k]];
      if (c >= 0) database.items[written++] = static_cast<std::uint32_t>(c);
    }
    if (written == start) continue;
    std::size_t length = written - start;
    level.squaredLengths += length * length;
    database.weights[kept] = database.weights[t];
    database.offsets[++kept] = written;
  }
  database.items.resize(written);
  database.offsets.resize(kept + 1);
  database.weights.resize(kept);
  level.items = std::move(database.items);
  level.offsets = std::move(database.offsets);
  level.weights = std::move(database.weights);
  level.headBits = level.headWords = 0;
  level.heads.clear();
  std::size_t candidates = top.edgeOf.size();
  top.top = true;
  if (!top.topIndex.resize(candidates)) return false;
  for (std::size_t c = 0; c < candidates; ++c) top.topIndex[c] = static_cast<std::uint32_t>(c);
  if (!scratch.topPairs.build(level, candidates, scratch.minSup)) return false;
  return scratch.countOf.assign(candidates, 0) && scratch.childIndex.assign(candidates, -1) &&
         prepareFrame(top, 0, scratch);
}

SearchOutcome runSearch(EdgeDatabase& database, int minSup, ClosedSetSink& sink,
                        const SearchOptions& options) {
  SearchScratch scratch;
  scratch.minSup = minSup;
  scratch.policy = options.policy;
  FrameStack frames;
  Frame* top = frames.at(0);
  if (top == nullptr || !openTopFrame(database, *top, scratch)) return SearchOutcome::kOutOfMemory;
  database = EdgeDatabase{};
  if (!top->pattern.empty() &&
      !sink.take(top->pattern.data(), static_cast<int>(top->pattern.size()), top->support)) {
    return SearchOutcome::kStopped;
  }
  int depth = 0;
  while (depth >= 0) {
    if (options.stop != nullptr && options.stop->load(std::memory_order_relaxed)) {
      return SearchOutcome::kStopped;
    }
    Frame& frame = *frames.at(depth);
    if (frame.next >= frame.candidateCount()) {
      --depth;
      continue;
    }
    int i = frame.next++;
    StepResult result = StepResult::kRejected;
    Frame* child = nullptr;
    if (!frame.absorbed[i]) {
      child = frames.at(depth + 1);
      if (child == nullptr) return SearchOutcome::kOutOfMemory;
      result = frame.vertical ? extendVertical(frame, i, frames.at(frame.vertical_.baseDepth)->base,
                                               *child, depth + 1, scratch)
                              : extendHorizontal(frame, i, *child, depth + 1, scratch);
    }
    if (!frame.vertical) advanceBucket(frame.horizontal, i);
    if (result == StepResult::kOutOfMemory) return SearchOutcome::kOutOfMemory;
    if (result == StepResult::kRejected) continue;
    if (!sink.take(child->pattern.data(), static_cast<int>(child->pattern.size()),
                   child->support)) {
      return SearchOutcome::kStopped;
    }
    if (result == StepResult::kChild) ++depth;
  }
  return SearchOutcome::kComplete;
}

}  // namespace

SearchOutcome searchClosed(EdgeDatabase database, int minSup, ClosedSetSink& sink,
                           const SearchOptions& options) {
  return runSearch(database, minSup, sink, options);
}

}  // namespace tavrel
