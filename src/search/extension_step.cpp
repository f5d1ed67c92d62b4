#include "search/extension_step.h"

#include <algorithm>
#include <cstdint>

#include "search/level_writer.h"
#include "search/row_counting.h"
#include "search/top_pairs.h"

namespace tavrel {

namespace {

// The child's pattern: the frame's pattern, the extension edge and the
// gathered edges (all later than the extension edge, ascending), merged
// into ascending order.
bool makePattern(const FrameData& frame, int i, const Buffer<int>& gathered, FrameData& child) {
  std::size_t total = frame.pattern.size() + 1 + gathered.size();
  if (!child.pattern.resize(total)) return false;
  const int* a = frame.pattern.begin();
  const int* aEnd = frame.pattern.end();
  int* out = child.pattern.data();
  int extension = frame.edgeOf[i];
  while (a < aEnd && *a < extension) *out++ = *a++;
  *out++ = extension;
  const int* b = gathered.begin();
  const int* bEnd = gathered.end();
  while (a < aEnd || b < bEnd) {
    if (b == bEnd || (a < aEnd && *a < *b)) {
      *out++ = *a++;
    } else {
      *out++ = *b++;
    }
  }
  return true;
}

// Records candidate i as an accepted extension of the cursor's range.
void accept(Cursor& cursor, int i) {
  cursor.acceptedIndex[i] = static_cast<int>(cursor.accepted.size());
  cursor.accepted.push(i);  // reserved for every candidate in openCursor()
}

// Starts a child frame: its support, no candidates yet.
void startChild(FrameData& child, int support) {
  child.support = support;
  child.top = false;
  child.edgeOf.clear();
  child.count.clear();
  child.topIndex.clear();
}

// True when the top frame's pair table proves that fewer than minSup
// strings hold candidates a and b of the frame together.
bool rarePair(const FrameData& frame, const TopPairs& pairs, int a, int b) {
  if (!pairs.available()) return false;
  std::uint32_t first = frame.topIndex[std::min(a, b)];
  std::uint32_t second = frame.topIndex[std::max(a, b)];
  return !TopPairs::holds(pairs.frequentWith(first), second);
}

// ---- Horizontal frames ----------------------------------------------------

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

// Numbers the witness bits that the child of candidate i gets for the
// accepted extensions of the range before i, from the `firstNew`-th on,
// after the `inheritedBits` bits it inherits: scratch.ownWord and
// scratch.ownMask give each one's word and bit (a mask of 0 for every
// other candidate). An extension that the top frame's pairs prove shares
// fewer than minSup strings with i gets none. Returns the number of bits.
int numberOwnBits(const Cursor& cursor, int i, int firstNew, int inheritedBits,
                  SearchScratch& scratch) {
  if (firstNew < 0) return 0;
  const FrameData& frame = *cursor.frame;
  const TopPairs& pairs = scratch.shared->topPairs;
  int bits = 0;
  for (int a = firstNew; a < cursor.acceptedIndex[i]; ++a) {
    int m = cursor.accepted[a];
    if (rarePair(frame, pairs, m, i)) continue;
    int bit = inheritedBits + bits++;
    scratch.ownWord[m] = bit / 64;
    scratch.ownMask[m] = std::uint64_t{1} << (bit % 64);
  }
  return bits;
}

// Sets in `head` the own witness bits (see numberOwnBits()) of the
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

// The transactions' items are visited far apart in memory: while one is
// counted, the one this many places further down the list is fetched.
constexpr long kPrefetchDistance = 8;

StepResult extendHorizontal(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch) {
  FrameData& frame = *cursor.frame;
  const HorizontalLevel& level = frame.horizontal;
  const int minSup = scratch.minSup();
  const int support = frame.count[i];
  long n = takeBucket(level, cursor.buckets, i, scratch);
  if (n < 0) return StepResult::kOutOfMemory;
  if (level.headWords > 0 && !witnessesPass(level, n, scratch)) return StepResult::kRejected;
  // Candidates before the cursor's range were tried elsewhere: whether one
  // of them holds all of i's strings is found out here.
  if (cursor.rangeStart > 0 && earlierCandidateInAll(level, n, cursor.rangeStart, scratch)) {
    return StepResult::kRejected;
  }
  const std::uint32_t* const* begins = scratch.occurrenceBegin.data();
  const std::uint32_t* const* ends = scratch.occurrenceEnd.data();
  const int* weights = scratch.occurrenceWeight.data();

  // Count the later candidates in the strings of the extension, unless the
  // top frame's pairs are counted already.
  int* countOf = scratch.countOf.data();
  const std::uint32_t* topCounts = nullptr;
  if (frame.top && scratch.shared->topPairs.available()) {
    topCounts = scratch.shared->topPairs.countsAfter(static_cast<std::uint32_t>(i)) - i - 1;
  }
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

  startChild(child, support);
  scratch.gathered.clear();
  int candidates = frame.candidateCount();
  int* childIndex = scratch.childIndex.data();
  std::size_t room = static_cast<std::size_t>(candidates - i);
  bool fits = child.edgeOf.reserve(room) && child.count.reserve(room) &&
              child.topIndex.reserve(room) && scratch.gathered.reserve(room);
  for (int g = i + 1; g < candidates; ++g) {
    int count = topCounts != nullptr ? static_cast<int>(topCounts[g]) : countOf[g];
    if (count == 0) continue;
    countOf[g] = 0;
    if (count == frame.count[g]) frame.markAbsorbed(g);
    if (count < minSup || !fits) continue;
    if (cursor.firstColumn[g] < 0) cursor.firstColumn[g] = i;
    if (count == support) {
      scratch.gathered.push(frame.edgeOf[g]);
    } else {
      childIndex[g] = static_cast<int>(child.edgeOf.size());
      child.edgeOf.push(frame.edgeOf[g]);
      child.count.push(count);
      child.topIndex.push(frame.topIndex[g]);
    }
  }
  int childCandidates = static_cast<int>(child.edgeOf.size());
  if (!fits) return StepResult::kOutOfMemory;
  int firstNew = cursor.firstColumn[i] >= 0 ? cursor.acceptedIndex[cursor.firstColumn[i]] : -1;
  accept(cursor, i);
  if (!makePattern(frame, i, scratch.gathered, child)) return StepResult::kOutOfMemory;
  if (childCandidates == 0) return StepResult::kLeaf;

  // The child's transactions: the later items that stay candidates, and as
  // witness bits the frame's own, then the accepted extensions of the range
  // before i that the transaction holds (from the first that shares minSup
  // strings), then every candidate before the range that it holds (which
  // of those were accepted is not known here; the others do no harm).
  int inheritedBits = level.headBits;
  int ownBits = numberOwnBits(cursor, i, firstNew, inheritedBits, scratch);
  int earlierBits = cursor.rangeStart;
  std::size_t inheritedWords = static_cast<std::size_t>(level.headWords);
  LevelWriter writer;
  bool ready = writer.begin(child.horizontal, inheritedBits + ownBits + earlierBits, true,
                            static_cast<std::size_t>(n), suffixItems, scratch);
  const std::uint32_t* items = level.items.data();
  const std::uint32_t firstColumn = static_cast<std::uint32_t>(cursor.firstColumn[i]);
  const int* ownWord = scratch.ownWord.data();
  const std::uint64_t* ownMask = scratch.ownMask.data();
  const int oneOwnWord =
      inheritedBits / 64 == (inheritedBits + ownBits - 1) / 64 ? inheritedBits / 64 : -1;
  for (long k = 0; ready && k < n; ++k) {
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
  for (int g = i + 1; g < candidates; ++g) childIndex[g] = -1;
  if (ownBits > 0) {
    for (int a = firstNew; a < cursor.acceptedIndex[i]; ++a)
      scratch.ownMask[cursor.accepted[a]] = 0;
  }
  if (!ready || !compactHeads(child.horizontal, scratch) || !prepareFrame(child, *scratch.shared)) {
    return StepResult::kOutOfMemory;
  }
  return StepResult::kChild;
}

// ---- Vertical frames ------------------------------------------------------

// Fills rowsFrom[b] with the active rows in the words from block b on,
// for every block of the `active` words `bits` (nothing when they fill no
// whole block: such counts are never given up). False when memory ran out.
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

// True when the child's rows, `rows` of them in `active` words, are so
// sparse that copying its row sets packed costs less than the words its
// steps would read in vain.
bool worthCompacting(const FrameData& child, std::size_t active, int rows,
                     const SearchShared& shared) {
  std::size_t packed = (static_cast<std::size_t>(rows) + 63) / 64;
  if (shared.policy == FramePolicy::kVertical) return packed < active;
  return child.edgeOf.size() * (active - packed) > 4 * static_cast<std::size_t>(rows);
}

// Gives the child row sets of its own: one row per row of its pattern
// (rows of them), for each of its candidates and witnesses, packed in the
// order of the base's rows. The child becomes the base of its descendants.
bool compactRows(const VerticalBase& base, FrameData& child, std::size_t rows) {
  VerticalView& view = child.view;
  std::size_t rowWords = (rows + 63) / 64;
  std::size_t candidates = view.slotOf.size();
  std::size_t witnesses = view.witnessSlots.size();
  VerticalBase& packed = child.base;
  packed.rowWords = static_cast<int>(rowWords);
  if (!packed.rowSets.assign((candidates + witnesses) * rowWords, 0)) return false;
  const std::uint32_t* index = view.activeIndex.data();
  const std::uint64_t* bits = view.activeBits.data();
  std::size_t active = view.activeIndex.size();
  for (std::size_t s = 0; s < candidates + witnesses; ++s) {
    std::uint32_t from = s < candidates ? view.slotOf[s] : view.witnessSlots[s - candidates];
    const std::uint64_t* source = base.rowsOf(from);
    std::uint64_t* out = packed.rowSets.data() + s * rowWords;
    std::size_t row = 0;
    for (std::size_t k = 0; k < active; ++k) {
      std::uint64_t word = source[index[k]];
      for (std::uint64_t rest = bits[k]; rest != 0; rest &= rest - 1, ++row) {
        std::uint64_t held = (word >> __builtin_ctzll(rest)) & 1;
        out[row / 64] |= held << (row % 64);
      }
    }
  }
  for (std::size_t c = 0; c < candidates; ++c) view.slotOf[c] = static_cast<std::uint32_t>(c);
  for (std::size_t w = 0; w < witnesses; ++w) {
    view.witnessSlots[w] = static_cast<std::uint32_t>(candidates + w);
  }
  if (!view.activeIndex.resize(rowWords) || !view.activeBits.resize(rowWords)) return false;
  for (std::size_t w = 0; w < rowWords; ++w) {
    view.activeIndex[w] = static_cast<std::uint32_t>(w);
    std::size_t bitsHere = rows - w * 64 < 64 ? rows - w * 64 : 64;
    view.activeBits[w] = bitsHere == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bitsHere) - 1;
  }
  view.baseFrame = &child;
  return true;
}

// The vertical step, with the rows counted by `Rows` (see row_counting.h);
// inlined into each of the builds below.
template <class Rows>
[[gnu::always_inline]] inline StepResult extendVerticalWith(Cursor& cursor, int i, FrameData& child,
                                                            SearchScratch& scratch) {
  FrameData& frame = *cursor.frame;
  const VerticalView& view = frame.view;
  const VerticalBase& base = view.baseFrame->base;
  VerticalView& into = child.view;
  const SearchShared& shared = *scratch.shared;
  const TopPairs& pairs = shared.topPairs;
  const int minSup = shared.minSup;
  const int support = frame.count[i];

  // The rows of the extension: the frame's active rows that hold i.
  std::size_t active = view.activeIndex.size();
  if (!into.activeIndex.resize(active) || !into.activeBits.resize(active)) {
    return StepResult::kOutOfMemory;
  }
  const std::uint64_t* rowsOfI = base.rowsOf(view.slotOf[i]);
  std::uint32_t* index = into.activeIndex.data();
  std::uint64_t* bits = into.activeBits.data();
  std::size_t kept = Rows::keep(view.activeIndex.data(), view.activeBits.data(), active, rowsOfI,
                                base.rowWords, index, bits);
  into.activeIndex.resize(kept);
  into.activeBits.resize(kept);
  const Rows rows(index, bits, kept, base.rowWords);

  for (std::uint32_t slot : view.witnessSlots) {
    if (rows.allIn(base.rowsOf(slot))) return StepResult::kRejected;
  }
  // Candidates before the cursor's range were tried elsewhere: whether one
  // of them holds all of i's rows is found out here.
  for (int m = 0; m < cursor.rangeStart; ++m) {
    if (rarePair(frame, pairs, m, i)) continue;
    if (rows.allIn(base.rowsOf(view.slotOf[m]))) {
      return StepResult::kRejected;
    }
  }

  if (!countRowsByBlock<Rows>(bits, kept, scratch.rowsFrom)) return StepResult::kOutOfMemory;
  const int* rowsFrom = scratch.rowsFrom.data();
  startChild(child, support);
  into.slotOf.clear();
  scratch.gathered.clear();
  int candidates = frame.candidateCount();
  // Below the top frame, a pair that too few strings hold is not counted.
  const bool filtered = pairs.available() && !frame.top;
  const std::uint64_t* pairRow = filtered ? pairs.frequentWith(frame.topIndex[i]) : nullptr;
  for (int g = i + 1; g < candidates; ++g) {
    if (filtered && !TopPairs::holds(pairRow, frame.topIndex[g])) continue;
    std::uint32_t slot = view.slotOf[g];
    int count = rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup);
    if (count == frame.count[g]) frame.markAbsorbed(g);
    if (count < minSup) continue;
    if (count == support) {
      if (!scratch.gathered.push(frame.edgeOf[g])) return StepResult::kOutOfMemory;
    } else if (!child.edgeOf.push(frame.edgeOf[g]) || !child.count.push(count) ||
               !into.slotOf.push(slot) || !child.topIndex.push(frame.topIndex[g])) {
      return StepResult::kOutOfMemory;
    }
  }
  accept(cursor, i);
  if (!makePattern(frame, i, scratch.gathered, child)) return StepResult::kOutOfMemory;
  if (child.edgeOf.empty()) return StepResult::kLeaf;

  // The child's witnesses: the frame's, the accepted extensions of the
  // range before i, and every candidate before the range (which of those
  // were accepted is not known here), each if at least minSup of the
  // extension's strings hold it.
  into.witnessSlots.clear();
  if (!into.witnessSlots.reserve(view.witnessSlots.size() + cursor.accepted.size() +
                                 static_cast<std::size_t>(cursor.rangeStart))) {
    return StepResult::kOutOfMemory;
  }
  for (std::uint32_t slot : view.witnessSlots) {
    if (rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup) >= minSup) {
      into.witnessSlots.push(slot);
    }
  }
  // One loop (no lambda: the rows' counts are inlined only into this
  // function's own builds): the candidates before the range, then the
  // accepted ones.
  const int before = cursor.rangeStart;
  const int others = before + static_cast<int>(cursor.accepted.size());
  for (int t = 0; t < others; ++t) {
    int m = t < before ? t : cursor.accepted[t - before];
    if (m == i || (filtered && rarePair(frame, pairs, m, i))) continue;
    std::uint32_t slot = view.slotOf[m];
    if (rows.countAtLeast(base.rowsOf(slot), rowsFrom, minSup) >= minSup) {
      into.witnessSlots.push(slot);
    }
  }
  into.baseFrame = view.baseFrame;
  if (worthCompacting(child, kept, support, shared) &&
      !compactRows(base, child, static_cast<std::size_t>(support))) {
    return StepResult::kOutOfMemory;
  }
  child.vertical = true;
  return child.absorbed.assign(child.edgeOf.size(), 0) ? StepResult::kChild
                                                       : StepResult::kOutOfMemory;
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
// Loops left to the vectorizer came out slower in this build (on sign at
// 150, 0.85 against 0.83 s): only the counts use the vector registers.
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

// The vertical step in the build that the search chose.
StepResult extendVertical(Cursor& cursor, int i, FrameData& child, SearchScratch& scratch) {
#ifdef TAVREL_VECTOR_ROWS
  if (scratch.shared->vectorRows) return extendVerticalVector(cursor, i, child, scratch);
#endif
  return extendVerticalScalar(cursor, i, child, scratch);
}

}  // namespace

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
