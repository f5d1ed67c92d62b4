// Conditions on the patterns a search hands over, applied inside the
// search: a step still finds every closed pattern in the same order, but
// hands over only those that pass, and does not search below a pattern
// whose descendants cannot pass.
//
// - Edge bounds: a child's pattern holds its parent's and at least one
//   edge more, so below a pattern of maxEdges edges nothing can pass.
// - Items: every pattern below a frame's pattern P is P with some of the
//   frame's candidates, so when P's edges and its candidates do not
//   involve every item asked for, nothing below does.
// - Maximal: a pattern is maximal when no single further edge keeps its
//   support at minSup or more. The step decides it from its own data: the
//   child's candidates (later edges), and the edges before the candidate
//   that can be frequent with the pattern: the frame's earlier candidates
//   and its witnesses. Of the frequent earlier edges outside the pattern,
//   the smallest is an extension that the frame, or an ancestor frame, has
//   accepted, so those sets are enough (see closed_search.cpp). The counts
//   need every string's witnesses: under maximality, transactions are
//   merged only when their witness bits are equal too (level_writer.h).
// - Least support (the top k): patterns below `leastSupport` can no longer
//   enter, and neither can anything below them (a child's support is below
//   its parent's). The value only rises. A candidate under it is not tried
//   at all when maximality is not asked: every pattern that its acceptance
//   would reject or absorb has a support no higher than its own, so it is
//   under the value too. (Maximality needs every acceptance: a pattern
//   above the value may have a frequent extension below it.)
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "search/search_frame.h"

namespace tavrel {

struct SearchConditions {
  int minEdges = 0;      // 0: no bound
  int maxEdges = 0;      // 0: no bound
  bool maximal = false;  // hand over only maximal patterns
  // The items asked for, one bit each (0: none), and per edgeId the bits of
  // those that the edge involves.
  std::uint64_t allItems = 0;
  std::vector<std::uint64_t> itemBits;
  // The top k's least support that may still enter (nullptr: no top k).
  const std::atomic<int>* leastSupport = nullptr;

  // True when some condition is set.
  bool any() const {
    return minEdges > 0 || maxEdges > 0 || maximal || allItems != 0 || leastSupport != nullptr;
  }
  // The least support that may still enter (0 without a top k).
  int least() const {
    return leastSupport != nullptr ? leastSupport->load(std::memory_order_relaxed) : 0;
  }
  // The bits of the items that the `count` edges involve.
  std::uint64_t itemsOf(const int* edges, std::size_t count) const {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < count; ++k) bits |= itemBits[static_cast<std::size_t>(edges[k])];
    return bits;
  }
};

// True when the pattern of `frame` passes every condition (its `maximal`
// mark set by the step that made it when maximality is asked).
inline bool conditionsPass(const SearchConditions& conditions, const FrameData& frame) {
  std::size_t edges = frame.pattern.size();
  if (edges < static_cast<std::size_t>(conditions.minEdges)) return false;
  if (conditions.maxEdges > 0 && edges > static_cast<std::size_t>(conditions.maxEdges)) {
    return false;
  }
  if (conditions.maximal && !frame.maximal) return false;
  if (frame.support < conditions.least()) return false;
  return conditions.allItems == 0 ||
         conditions.itemsOf(frame.pattern.data(), edges) == conditions.allItems;
}

// True when a pattern below the frame's may pass the conditions: false
// only when none can.
inline bool conditionsAllowBelow(const SearchConditions& conditions, const FrameData& frame) {
  if (conditions.maxEdges > 0 &&
      frame.pattern.size() >= static_cast<std::size_t>(conditions.maxEdges)) {
    return false;
  }
  if (conditions.leastSupport != nullptr) {
    int most = 0;
    for (int count : frame.count) most = count > most ? count : most;
    if (most < conditions.least()) return false;
  }
  if (conditions.allItems == 0) return true;
  std::uint64_t bits = conditions.itemsOf(frame.pattern.data(), frame.pattern.size()) |
                       conditions.itemsOf(frame.edgeOf.data(), frame.edgeOf.size());
  return bits == conditions.allItems;
}

// True when candidate i of `frame` need not be tried: its support is below
// the least that may still enter, and maximality is not asked.
inline bool conditionsSkip(const SearchConditions& conditions, const FrameData& frame, int i) {
  return conditions.leastSupport != nullptr && !conditions.maximal &&
         frame.count[static_cast<std::size_t>(i)] < conditions.least();
}

// True when the pattern of `frame`, which a step accepted, is handed over:
// always without conditions.
inline bool handsOver(const SearchConditions* conditions, const FrameData& frame) {
  return conditions == nullptr || conditionsPass(*conditions, frame);
}

// The top frame's candidates that the search tries: all of them, or none
// when nothing below the top frame's pattern can pass the conditions.
// Marks the top frame's pattern maximal when it has no candidates.
inline int topCandidatesSearched(const SearchConditions* conditions, FrameData& top) {
  if (conditions == nullptr) return top.candidateCount();
  top.maximal = conditions->maximal && top.candidateCount() == 0;
  return conditionsAllowBelow(*conditions, top) ? top.candidateCount() : 0;
}

}  // namespace tavrel