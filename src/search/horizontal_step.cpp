// The extension step on a horizontal frame: the phases of step_phases.h on
// the transactions that occurrence delivery hands over.
#include <algorithm>
#include <cstdint>

#include "search/level_writer.h"
#include "search/occurrence_delivery.h"
#include "search/search_conditions.h"
#include "search/step_phases.h"
#include "search/top_pairs.h"

namespace tavrel {

namespace {

// The transactions' items are visited far apart in memory: while one is
// counted, the one this many places further down the list is fetched.
constexpr long kPrefetchDistance = 8;

// True when no witness bit is set in every one of the n listed
// transactions.
bool witnessesPass(const HorizontalLevel& level, long n, SearchScratch& scratch) {
  std::size_t words = static_cast<std::size_t>(level.headWords);
  if (!scratch.words.resize(words)) return true;  // the bits only ever reject
  std::uint64_t* common = scratch.words.data();
  for (std::size_t w = 0; w < words; ++w) common[w] = ~std::uint64_t{0};
  for (long k = 0; k < n; ++k) {
    const std::uint64_t* head =
        level.heads.data() + static_cast<std::size_t>(scratch.occurrence[k]) * words;
    std::uint64_t any = 0;
    for (std::size_t w = 0; w < words; ++w) any |= common[w] &= head[w];
    if (any == 0) return true;
  }
  return false;
}

// True when some candidate before `limit` stands in every one of the n
// listed transactions (before their item i): then the closure of the
// pattern and i holds it. The common candidates are intersected
// transaction by transaction until none is left.
bool earlierCandidateInAll(const HorizontalLevel& level, long n, int limit,
                           SearchScratch& scratch) {
  if (n == 0 || !scratch.common.resize(static_cast<std::size_t>(limit))) return false;
  std::uint32_t* common = scratch.common.data();
  const std::uint32_t* items = level.items.data();
  std::size_t size = 0;
  for (long k = 0; k < n; ++k) {
    const std::uint32_t* begin = items + level.offsets[scratch.occurrence[k]];
    const std::uint32_t* at =
        std::lower_bound(begin, scratch.occurrenceBegin[k] - 1, static_cast<std::uint32_t>(limit));
    if (k == 0) {
      size = static_cast<std::size_t>(std::copy(begin, at, common) - common);
    } else {
      size = static_cast<std::size_t>(
          std::set_intersection(common, common + size, begin, at, common) - common);
    }
    if (size == 0) return false;
  }
  return true;
}

// Phase 1 on the n transactions of candidate i: true when the closure of
// the pattern and i holds a witness, or a candidate before the cursor's
// range (those were tried elsewhere: whether one of them holds all of i's
// strings is found out here).
bool rejected(const HorizontalLevel& level, long n, int rangeStart, SearchScratch& scratch) {
  if (level.headWords > 0 && !witnessesPass(level, n, scratch)) return true;
  return rangeStart > 0 && earlierCandidateInAll(level, n, rangeStart, scratch);
}

// The top frame's pair counts of the candidates after i, indexed by
// candidate, when they are counted already; nullptr otherwise.
const std::uint32_t* countedPairs(const FrameData& frame, int i, const SearchShared& shared) {
  if (!frame.top || !shared.topPairs.available()) return nullptr;
  return shared.topPairs.countsAfter(static_cast<std::uint32_t>(i)) - i - 1;
}

// Phase 2: adds to scratch.countOf, per later candidate, the strings of
// the n transactions that hold it (nothing when `topCounts` has them
// already). Returns the items after the candidate in the transactions.
std::size_t countLaterCandidates(long n, const std::uint32_t* topCounts, SearchScratch& scratch) {
  const std::uint32_t* const* begins = scratch.occurrenceBegin.data();
  const std::uint32_t* const* ends = scratch.occurrenceEnd.data();
  const int* weights = scratch.occurrenceWeight.data();
  int* countOf = scratch.countOf.data();
  std::size_t suffixItems = 0;
  for (long k = 0; k < n; ++k) {
    const std::uint32_t* end = ends[k];
    suffixItems += static_cast<std::size_t>(end - begins[k]);
    if (topCounts != nullptr) continue;
    if (k + kPrefetchDistance < n) __builtin_prefetch(begins[k + kPrefetchDistance]);
    int weight = weights[k];
#pragma GCC unroll 4
    for (const std::uint32_t* p = begins[k]; p < end; ++p) countOf[*p] += weight;
  }
  return suffixItems;
}

// Phase 3: chooses the child's candidates from the counts (and clears
// them), gathers the edges that join its pattern, gives each candidate of
// the child its local number in scratch.childIndex, and notes i as the
// first column of the later candidates that reach minSup. False when
// memory ran out (the counts are cleared all the same).
bool chooseCandidates(Cursor& cursor, int i, const std::uint32_t* topCounts, FrameData& child,
                      SearchScratch& scratch) {
  FrameData& frame = *cursor.frame;
  const int minSup = scratch.minSup();
  const int support = frame.count[i];
  scratch.gathered.clear();
  int candidates = frame.candidateCount();
  int* countOf = scratch.countOf.data();
  int* childIndex = scratch.childIndex.data();
  std::size_t room = static_cast<std::size_t>(candidates - i);
  bool fits = child.edgeOf.reserve(room) && child.count.reserve(room) &&
              child.topIndex.reserve(room) && scratch.gathered.reserve(room);
  for (int g = i + 1; g < candidates; ++g) {
    int count = topCounts != nullptr ? static_cast<int>(topCounts[g]) : countOf[g];
    if (count == 0) continue;
    countOf[g] = 0;
    Choice choice = chooseCandidate(frame, g, count, minSup, support);
    if (choice == Choice::kDropped || !fits) continue;
    if (cursor.firstColumn[g] < 0) cursor.firstColumn[g] = i;
    if (choice == Choice::kGathered) {
      scratch.gathered.push(frame.edgeOf[g]);  // reserved above, as the child's arrays
    } else {
      childIndex[g] = static_cast<int>(child.edgeOf.size());
      addCandidate(frame, g, count, child);
    }
  }
  return fits;
}

// How the child's witness bits are numbered: the frame's own first, then
// one per accepted extension of the range before i from the `firstNew`-th
// on (own), then one per candidate before the range (earlier).
struct WitnessBits {
  int inherited = 0;
  int own = 0;
  int earlier = 0;
  int firstNew = -1;  // -1 when there is no own bit
  int total() const { return inherited + own + earlier; }
};

// Phase 5: numbers the child's witness bits. The own bits (the accepted
// extensions from the first one that shares minSup strings with i) get
// their word and mask in scratch.ownWord and scratch.ownMask (a mask of 0
// for every other candidate); an extension that the top frame's pairs
// prove shares fewer than minSup strings with i gets none.
WitnessBits numberWitnessBits(const Cursor& cursor, int i, int inheritedBits,
                              SearchScratch& scratch) {
  WitnessBits bits;
  bits.inherited = inheritedBits;
  bits.earlier = cursor.rangeStart;
  int firstColumn = cursor.firstColumn[i];
  if (firstColumn < 0) return bits;
  bits.firstNew = cursor.acceptedIndex[firstColumn];
  const FrameData& frame = *cursor.frame;
  const TopPairs& pairs = scratch.shared->topPairs;
  for (int a = bits.firstNew; a < cursor.acceptedIndex[i]; ++a) {
    int m = cursor.accepted[a];
    if (rarePair(frame, pairs, m, i)) continue;
    int bit = inheritedBits + bits.own++;
    scratch.ownWord[m] = bit / 64;
    scratch.ownMask[m] = std::uint64_t{1} << (bit % 64);
  }
  return bits;
}

// Sets in `head` the own witness bits (see numberWitnessBits()) of the
// candidates from `first` on among the ascending items [begin, end);
// `oneWord` when they all stand in that word. The items are walked back
// from `end`, whose cache line the caller has just read: a binary search
// from `begin` would fetch the transaction's far lines for nothing.
inline void setOwnBits(const std::uint32_t* begin, const std::uint32_t* end, std::uint32_t first,
                       const int* ownWord, const std::uint64_t* ownMask, int oneWord,
                       std::uint64_t* head) {
  const std::uint32_t* p = end;
  if (oneWord >= 0) {
    std::uint64_t bits = 0;
    while (p > begin && *--p >= first) bits |= ownMask[*p];
    head[oneWord] |= bits;
    return;
  }
  while (p > begin && *--p >= first) head[ownWord[*p]] |= ownMask[*p];
}

// Phase 6: writes the child's transactions, one per listed transaction
// that keeps a candidate of the child: the later items that stay
// candidates, and as witness bits the frame's own, then the accepted
// extensions of the range before i that the transaction holds (own bits),
// then every candidate before the range that it holds (which of those were
// accepted is not known here; the others do no harm). False when memory
// ran out.
bool writeTransactions(const Cursor& cursor, int i, long n, std::size_t suffixItems,
                       const WitnessBits& bits, FrameData& child, SearchScratch& scratch) {
  const HorizontalLevel& level = cursor.frame->horizontal;
  const SearchConditions* conditions = scratch.shared->conditions;
  const Merging merging = conditions != nullptr && conditions->maximal
                              ? Merging::kEqualItemsAndWitnesses
                              : Merging::kEqualItems;
  LevelWriter writer;
  if (!writer.begin(child.horizontal, bits.total(), merging, static_cast<std::size_t>(n),
                    suffixItems, scratch)) {
    return false;
  }
  const std::uint32_t* const* begins = scratch.occurrenceBegin.data();
  const std::uint32_t* const* ends = scratch.occurrenceEnd.data();
  const int* weights = scratch.occurrenceWeight.data();
  const int* childIndex = scratch.childIndex.data();
  const std::uint32_t* items = level.items.data();
  const std::size_t inheritedWords = static_cast<std::size_t>(level.headWords);
  const std::uint32_t firstColumn = static_cast<std::uint32_t>(cursor.firstColumn[i]);
  const int* ownWord = scratch.ownWord.data();
  const std::uint64_t* ownMask = scratch.ownMask.data();
  const int inheritedBits = bits.inherited;
  const int ownBits = bits.own;
  const int earlierBits = bits.earlier;
  const int oneOwnWord =
      inheritedBits / 64 == (inheritedBits + ownBits - 1) / 64 ? inheritedBits / 64 : -1;
  for (long k = 0; k < n; ++k) {
    if (k + kPrefetchDistance < n) __builtin_prefetch(begins[k + kPrefetchDistance]);
    std::uint32_t* out = writer.items();
    std::size_t length = 0;
    const std::uint32_t* end = ends[k];
#pragma GCC unroll 4
    for (const std::uint32_t* p = begins[k]; p < end; ++p) {
      int c = childIndex[*p];
      out[length] = static_cast<std::uint32_t>(c);
      length += c >= 0;
    }
    if (length == 0) continue;
    int t = scratch.occurrence[k];
    std::uint64_t* head = writer.head();
    std::size_t words = static_cast<std::size_t>(writer.headWords());
    const std::uint64_t* own = level.heads.data() + static_cast<std::size_t>(t) * inheritedWords;
    for (std::size_t w = 0; w < words; ++w) head[w] = w < inheritedWords ? own[w] : 0;
    const std::uint32_t* begin = items + level.offsets[t];
    const std::uint32_t* at = begins[k] - 1;
    if (ownBits > 0) {
      setOwnBits(begin, at, firstColumn, ownWord, ownMask, oneOwnWord, head);
    }
    for (const std::uint32_t* p = begin; p < at && *p < static_cast<std::uint32_t>(earlierBits);
         ++p) {
      int bit = inheritedBits + ownBits + static_cast<int>(*p);
      head[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    writer.commit(length, weights[k]);
  }
  return true;
}

// Under maximality, for a child without candidates: true when at least
// minSup of the n transactions' strings hold a witness of the frame or a
// candidate before `limit`. The counts are exact because under maximality
// only transactions with equal witness bits are merged (writeTransactions()).
// Leaves scratch.countOf cleared. Needs scratch.bitCount cleared for the
// level's witness bits.
bool earlierEdgeCounted(const HorizontalLevel& level, long n, int limit, SearchScratch& scratch) {
  const int minSup = scratch.minSup();
  const std::size_t words = static_cast<std::size_t>(level.headWords);
  const std::uint32_t end = static_cast<std::uint32_t>(limit);
  int* countOf = scratch.countOf.data();
  const std::uint32_t* items = level.items.data();
  bool frequent = false;
  for (long k = 0; k < n && !frequent; ++k) {
    const int t = scratch.occurrence[k];
    const int weight = scratch.occurrenceWeight[k];
    for (const std::uint32_t* p = items + level.offsets[t]; *p < end; ++p) {
      frequent |= (countOf[*p] += weight) >= minSup;
    }
    const std::uint64_t* head = level.heads.data() + static_cast<std::size_t>(t) * words;
    for (std::size_t w = 0; w < words; ++w) {
      for (std::uint64_t rest = head[w]; rest != 0; rest &= rest - 1) {
        std::size_t bit = w * 64 + static_cast<std::size_t>(__builtin_ctzll(rest));
        frequent |= (scratch.bitCount[bit] += weight) >= minSup;
      }
    }
  }
  std::fill(countOf, countOf + limit, 0);
  return frequent;
}

// Under maximality, for a child without candidates: true when an edge
// before candidate i is frequent with the child's pattern. The smallest
// such edge is a witness, a candidate before the cursor's range, or an
// extension accepted in the range before i (see search_conditions.h);
// such an extension counted i among its strings, and found it frequent
// there exactly when it is frequent with the child's pattern, which
// cursor.firstColumn[i] records. So only the witnesses and the candidates
// before the range are counted here. False when memory ran out, with
// `*earlier` left alone.
bool earlierEdgeFrequent(const Cursor& cursor, int i, long n, SearchScratch& scratch,
                         bool* earlier) {
  const HorizontalLevel& level = cursor.frame->horizontal;
  if (cursor.firstColumn[i] >= 0) {
    *earlier = true;
  } else if (level.headBits == 0 && cursor.rangeStart == 0) {
    *earlier = false;
  } else {
    if (!scratch.bitCount.assign(static_cast<std::size_t>(level.headBits), 0)) return false;
    *earlier = earlierEdgeCounted(level, n, cursor.rangeStart, scratch);
  }
  return true;
}

// Under conditions (see search_conditions.h): decides the child's
// maximality, and says whether the step goes on to make the child's
// strings (kChild) or ends with the child as a leaf (kLeaf); kOutOfMemory
// when memory ran out.
StepResult judgeHorizontalChild(const Cursor& cursor, int i, long n, FrameData& child,
                                SearchScratch& scratch) {
  const SearchConditions& conditions = *scratch.shared->conditions;
  bool earlier = false;
  if (conditions.maximal && child.edgeOf.empty() &&
      !earlierEdgeFrequent(cursor, i, n, scratch, &earlier)) {
    return StepResult::kOutOfMemory;
  }
  return judgeChild(conditions, child, earlier) ? StepResult::kChild : StepResult::kLeaf;
}

// Clears what phases 3 and 5 left in the scratch for the next step: the
// child's local numbers and the own bits' masks.
void forgetChildNumbers(const Cursor& cursor, int i, const WitnessBits& bits,
                        SearchScratch& scratch) {
  for (int g = i + 1; g < cursor.frame->candidateCount(); ++g) scratch.childIndex[g] = -1;
  if (bits.own == 0) return;
  for (int a = bits.firstNew; a < cursor.acceptedIndex[i]; ++a) {
    scratch.ownMask[cursor.accepted[a]] = 0;
  }
}

}  // namespace

StepResult extendHorizontal(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch) {
  FrameData& frame = *cursor.frame;
  const HorizontalLevel& level = frame.horizontal;
  long n = takeBucket(level, cursor.buckets, i, scratch);
  if (n < 0) return StepResult::kOutOfMemory;
  if (rejected(level, n, cursor.rangeStart, scratch)) return StepResult::kRejected;
  const std::uint32_t* topCounts = countedPairs(frame, i, *scratch.shared);
  std::size_t suffixItems = countLaterCandidates(n, topCounts, scratch);
  startChild(child, frame.count[i]);
  if (!chooseCandidates(cursor, i, topCounts, child, scratch)) return StepResult::kOutOfMemory;
  accept(cursor, i);
  if (!makePattern(frame, i, scratch.gathered, child)) return StepResult::kOutOfMemory;
  if (scratch.shared->conditions != nullptr) {
    StepResult judged = judgeHorizontalChild(cursor, i, n, child, scratch);
    if (judged != StepResult::kChild) return judged;
  }
  if (child.edgeOf.empty()) return StepResult::kLeaf;
  WitnessBits bits = numberWitnessBits(cursor, i, level.headBits, scratch);
  bool written = writeTransactions(cursor, i, n, suffixItems, bits, child, scratch);
  forgetChildNumbers(cursor, i, bits, scratch);
  if (!written || !compactHeads(child.horizontal, scratch) ||
      !prepareFrame(child, *scratch.shared)) {
    return StepResult::kOutOfMemory;
  }
  return StepResult::kChild;
}

}  // namespace tavrel
