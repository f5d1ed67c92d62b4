// The extension step on a vertical frame: the phases of step_phases.h on
// row sets, built once for each way of counting rows (row_counting.h).
// Every phase that counts rows is a template on the counting and is
// inlined into each build, so that the counts are compiled for its
// processor (no lambdas: they would be built for the default one).
#include <algorithm>
#include <cstdint>

#include "search/row_counting.h"
#include "search/step_phases.h"
#include "search/top_pairs.h"
#include "search/vertical_base.h"

namespace tavrel {

namespace {

// The rows of the extension: the frame's active rows that hold candidate
// i, written to the child's view as its active words. Returns their number
// of words, or -1 when memory ran out.
template <class Rows>
[[gnu::always_inline]] inline long keepExtensionRows(const FrameData& frame, int i,
                                                     VerticalView& into) {
  const VerticalView& view = frame.view;
  const VerticalBase& base = view.baseFrame->base;
  std::size_t active = view.activeIndex.size();
  if (!into.activeIndex.resize(active) || !into.activeBits.resize(active)) return -1;
  std::size_t kept = Rows::keep(view.activeIndex.data(), view.activeBits.data(), active,
                                base.rowsOf(view.slotOf[i]), base.rowWords, into.activeIndex.data(),
                                into.activeBits.data());
  into.activeIndex.resize(kept);
  into.activeBits.resize(kept);
  return static_cast<long>(kept);
}

// Phase 1 on the extension's `rows`: true when a witness of the frame, or
// a candidate before the cursor's range, holds every one of them (those
// candidates were tried elsewhere: whether one of them holds all of i's
// rows is found out here).
template <class Rows>
[[gnu::always_inline]] inline bool rejected(const Rows& rows, const Cursor& cursor, int i,
                                            const TopPairs& pairs) {
  const FrameData& frame = *cursor.frame;
  const VerticalView& view = frame.view;
  const VerticalBase& base = view.baseFrame->base;
  for (std::uint32_t slot : view.witnessSlots) {
    if (rows.allIn(base.rowsOf(slot))) return true;
  }
  for (int m = 0; m < cursor.rangeStart; ++m) {
    if (rarePair(frame, pairs, m, i)) continue;
    if (rows.allIn(base.rowsOf(view.slotOf[m]))) return true;
  }
  return false;
}

// Phase 2's preparation: fills rowsFrom[b] with the active rows in the
// words from block b on, for every block of the `active` words `bits`
// (nothing when they fill no whole block: such counts are never given up),
// so that each count can stop once it cannot reach minSup. False when
// memory ran out.
template <class Rows>
[[gnu::always_inline]] inline bool countRowsByBlock(const std::uint64_t* bits, std::size_t active,
                                                    Buffer<int>& rowsFrom) {
  if (active < kBlockWords) return true;
  std::size_t blocks = (active + kBlockWords - 1) / kBlockWords;
  if (!rowsFrom.resize(blocks + 1)) return false;
  int rows = 0;
  rowsFrom[blocks] = 0;
  for (std::size_t b = blocks; b-- > 0;) {
    std::size_t end = std::min(active, (b + 1) * kBlockWords);
    rows += Rows::rowsIn(bits + b * kBlockWords, end - b * kBlockWords);
    rowsFrom[b] = rows;
  }
  return true;
}

// Phases 2 and 3, candidate by candidate: counts each later candidate's
// rows among the extension's (below the top frame, not those that the top
// frame's pairs prove too rare with i), and chooses the child's candidates
// with their slots in the base. False when memory ran out.
template <class Rows>
[[gnu::always_inline]] inline bool chooseCandidates(const Rows& rows, const int* rowsFrom,
                                                    Cursor& cursor, int i, FrameData& child,
                                                    SearchScratch& scratch) {
  FrameData& frame = *cursor.frame;
  const VerticalView& view = frame.view;
  const VerticalBase& base = view.baseFrame->base;
  const TopPairs& pairs = scratch.shared->topPairs;
  const int minSup = scratch.minSup();
  const int support = frame.count[i];
  child.view.slotOf.clear();
  scratch.gathered.clear();
  int candidates = frame.candidateCount();
  const bool filtered = pairs.available() && !frame.top;
  const std::uint64_t* pairRow = filtered ? pairs.frequentWith(frame.topIndex[i]) : nullptr;
  for (int g = i + 1; g < candidates; ++g) {
    if (filtered && !TopPairs::holds(pairRow, frame.topIndex[g])) continue;
    std::uint32_t slot = view.slotOf[g];
    int count = rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup);
    Choice choice = chooseCandidate(frame, g, count, minSup, support);
    if (choice == Choice::kDropped) continue;
    if (choice == Choice::kGathered) {
      if (!scratch.gathered.push(frame.edgeOf[g])) return false;
    } else if (!addCandidate(frame, g, count, child) || !child.view.slotOf.push(slot)) {
      return false;
    }
  }
  return true;
}

// Phase 5: the child's witnesses: the frame's, the accepted extensions of
// the range before i, and every candidate before the range (which of those
// were accepted is not known here), each if at least minSup of the
// extension's rows hold it. False when memory ran out.
template <class Rows>
[[gnu::always_inline]] inline bool chooseWitnesses(const Rows& rows, const int* rowsFrom,
                                                   const Cursor& cursor, int i, FrameData& child,
                                                   const SearchShared& shared) {
  const FrameData& frame = *cursor.frame;
  const VerticalView& view = frame.view;
  const VerticalBase& base = view.baseFrame->base;
  const TopPairs& pairs = shared.topPairs;
  const int minSup = shared.minSup;
  const bool filtered = pairs.available() && !frame.top;
  Buffer<std::uint32_t>& witnesses = child.view.witnessSlots;
  witnesses.clear();
  if (!witnesses.reserve(view.witnessSlots.size() + cursor.accepted.size() +
                         static_cast<std::size_t>(cursor.rangeStart))) {
    return false;
  }
  for (std::uint32_t slot : view.witnessSlots) {
    if (rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup) >= minSup) witnesses.push(slot);
  }
  // One loop: the candidates before the range, then the accepted ones.
  const int before = cursor.rangeStart;
  const int others = before + static_cast<int>(cursor.accepted.size());
  for (int t = 0; t < others; ++t) {
    int m = t < before ? t : cursor.accepted[t - before];
    if (m == i || (filtered && rarePair(frame, pairs, m, i))) continue;
    std::uint32_t slot = view.slotOf[m];
    if (rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup) >= minSup) witnesses.push(slot);
  }
  return true;
}

// Under maximality, for a child without candidates: true when at least
// minSup of the extension's rows hold a witness of the frame or a
// candidate before i.
template <class Rows>
[[gnu::always_inline]] inline bool earlierEdgeFrequent(const Rows& rows, const int* rowsFrom,
                                                       const Cursor& cursor, int i,
                                                       const SearchShared& shared) {
  const FrameData& frame = *cursor.frame;
  const VerticalView& view = frame.view;
  const VerticalBase& base = view.baseFrame->base;
  const int minSup = shared.minSup;
  const bool filtered = shared.topPairs.available() && !frame.top;
  for (std::uint32_t slot : view.witnessSlots) {
    if (rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup) >= minSup) return true;
  }
  for (int m = 0; m < i; ++m) {
    if (filtered && rarePair(frame, shared.topPairs, m, i)) continue;
    if (rows.countAtLeast(base.rowsOf(view.slotOf[m]), rowsFrom, minSup) >= minSup) return true;
  }
  return false;
}

// Phase 6: the child's strings are the extension's rows of the frame's
// base, or, when they are sparse there (`active` words for its support's
// rows), row sets of its own, packed. False when memory ran out.
bool finishRows(const FrameData& frame, std::size_t active, FrameData& child,
                const SearchShared& shared) {
  const VerticalBase& base = frame.view.baseFrame->base;
  child.view.baseFrame = frame.view.baseFrame;
  if (worthCompacting(child, active, child.support, shared) &&
      !compactRows(base, child, static_cast<std::size_t>(child.support))) {
    return false;
  }
  child.vertical = true;
  return child.absorbed.assign(child.edgeOf.size(), 0);
}

// The vertical step, with the rows counted by `Rows` (see row_counting.h);
// inlined into each of the builds below.
template <class Rows>
[[gnu::always_inline]] inline StepResult extendVerticalWith(Cursor& cursor, int i, FrameData& child,
                                                            SearchScratch& scratch) {
  FrameData& frame = *cursor.frame;
  const SearchShared& shared = *scratch.shared;
  VerticalView& into = child.view;
  long kept = keepExtensionRows<Rows>(frame, i, into);
  if (kept < 0) return StepResult::kOutOfMemory;
  const std::size_t active = static_cast<std::size_t>(kept);
  const Rows rows(into.activeIndex.data(), into.activeBits.data(), active,
                  frame.view.baseFrame->base.rowWords);
  if (rejected(rows, cursor, i, shared.topPairs)) return StepResult::kRejected;
  if (!countRowsByBlock<Rows>(into.activeBits.data(), active, scratch.rowsFrom)) {
    return StepResult::kOutOfMemory;
  }
  const int* rowsFrom = scratch.rowsFrom.data();
  startChild(child, frame.count[i]);
  if (!chooseCandidates(rows, rowsFrom, cursor, i, child, scratch)) {
    return StepResult::kOutOfMemory;
  }
  accept(cursor, i);
  if (!makePattern(frame, i, scratch.gathered, child)) return StepResult::kOutOfMemory;
  if (const SearchConditions* conditions = shared.conditions) {
    bool earlier = conditions->maximal && child.edgeOf.empty() &&
                   earlierEdgeFrequent(rows, rowsFrom, cursor, i, shared);
    if (!judgeChild(*conditions, child, earlier)) return StepResult::kLeaf;
  }
  if (child.edgeOf.empty()) return StepResult::kLeaf;
  if (!chooseWitnesses(rows, rowsFrom, cursor, i, child, shared) ||
      !finishRows(frame, active, child, shared)) {
    return StepResult::kOutOfMemory;
  }
  return StepResult::kChild;
}

// The step with ScalarRows, built twice: once for processors with a
// population count instruction, chosen at load time where there is one,
// and once for any x86-64.
// (Not under ThreadSanitizer, whose runtime is not ready when the choice
// is made.)
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("popcnt", "default")))
#endif
StepResult
extendVerticalScalar(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch) {
  return extendVerticalWith<ScalarRows>(cursor, i, child, scratch);
}

#ifdef TAVREL_VECTOR_ROWS
// Loops left to the vectorizer came out slower in this build (see
// bench/NOTES.md): only the counts use the vector registers.
#if defined(__clang__)
#define TAVREL_NOT_VECTORIZED
#else
#define TAVREL_NOT_VECTORIZED __attribute__((optimize("no-tree-vectorize")))
#endif
TAVREL_NOT_VECTORIZED TAVREL_VECTOR_TARGET StepResult extendVerticalVector(Cursor& cursor, int i,
                                                                           FrameData& child,
                                                                           SearchScratch& scratch) {
  return extendVerticalWith<VectorRows>(cursor, i, child, scratch);
}
#endif

}  // namespace

StepResult extendVertical(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch) {
#ifdef TAVREL_VECTOR_ROWS
  if (scratch.shared->vectorRows) return extendVerticalVector(cursor, i, child, scratch);
#endif
  return extendVerticalScalar(cursor, i, child, scratch);
}

}  // namespace tavrel
