#include "transactions/third_pass.h"

#include <algorithm>
#include <vector>

#include "base/parallel_blocks.h"
#include "pairs/pair_statistics.h"
#include "transactions/edge_database.h"

namespace tavrel {

bool makeEdgeIdMatrix(RunState& run, Buffer<int>& matrix) {
  std::size_t f = static_cast<std::size_t>(run.frequentItemCount);
  if (!matrix.resize(f * f)) {
    run.report.outOfMemory();
    return false;
  }
  for (std::size_t a = 0; a < f; ++a) {
    for (std::size_t b = 0; b < f; ++b) {
      const PairCell& cell = run.pairMatrix.at(static_cast<int>(a), static_cast<int>(b));
      matrix[a * f + b] =
          isFrequentEdge(cell, run.minSup)
              ? run.edgeIndex.find(run.makePairCode(run.frequentItems[a], run.frequentItems[b]))
                    ->second
              : -1;
    }
  }
  return true;
}

namespace {

// Below this many words, reading every word of the bit set back costs less
// than keeping the first and the last one on each edge.
constexpr int kScannedWords = 32;

// Marks the edges of the string's frequent list in `held`; with kBounded,
// widens [firstWord, lastWord] to the words it marks. Without, a pair that
// is no edge marks bit `spare` instead, which saves a branch that the
// pairs of a string take at random.
template <bool kBounded>
void markEdges(std::size_t f, const int* frequentList, int m, const int* edgeIdOfPair,
               std::uint64_t* held, int spare, int& firstWord, int& lastWord) {
  for (int i = 0; i + 1 < m; ++i) {
    const int* row = edgeIdOfPair + static_cast<std::size_t>(frequentList[i]) * f;
    for (int j = i + 1; j < m; ++j) {
      int edgeId = row[frequentList[j]];
      if constexpr (kBounded) {
        if (edgeId < 0) continue;
        firstWord = std::min(firstWord, edgeId / 64);
        lastWord = std::max(lastWord, edgeId / 64);
      } else {
        // Without a branch (a compiler turns the plain choice into one).
        int none = edgeId >> 31;  // all ones when edgeId < 0
        edgeId = (edgeId & ~none) | (spare & none);
      }
      held[edgeId / 64] |= std::uint64_t{1} << (edgeId % 64);
    }
  }
}

}  // namespace

std::size_t makeEdgeTransaction(const RunState& run, const int* frequentList, int m,
                                const int* edgeIdOfPair, std::uint64_t* held,
                                std::uint32_t* transaction) {
  // The edges are marked in the bit set and read back in ascending order,
  // which sorts them in time linear in the words read; the words are
  // cleared on the way.
  std::size_t f = static_cast<std::size_t>(run.frequentItemCount);
  int words = run.edgeCount / 64 + 1;
  int firstWord = 0;
  int lastWord = words - 1;
  if (words > kScannedWords) {
    firstWord = run.edgeCount;
    lastWord = -1;
    markEdges<true>(f, frequentList, m, edgeIdOfPair, held, 0, firstWord, lastWord);
  } else {
    // Bit edgeCount is the spare: `held` has room for it.
    markEdges<false>(f, frequentList, m, edgeIdOfPair, held, run.edgeCount, firstWord, lastWord);
    held[run.edgeCount / 64] &= ~(std::uint64_t{1} << (run.edgeCount % 64));
  }
  std::size_t length = 0;
  for (int w = firstWord; w <= lastWord; ++w) {
    for (std::uint64_t bits = held[w]; bits != 0; bits &= bits - 1) {
      transaction[length++] = static_cast<std::uint32_t>(w * 64 + __builtin_ctzll(bits));
    }
    held[w] = 0;
  }
  return length;
}

namespace {

// The scratch of one thread that turns strings into transactions.
struct TransactionScratch {
  Buffer<int> frequentList;
  Buffer<std::uint32_t> transaction;
  Buffer<std::uint64_t> held;

  bool open(const RunState& run) {
    return frequentList.resize(static_cast<std::size_t>(run.maxItemLength)) &&
           transaction.resize(static_cast<std::size_t>(run.edgeCount) + 1) &&
           held.assign(static_cast<std::size_t>(run.edgeCount) / 64 + 1, 0);
  }
  // Adds the string's edge transaction to `builder`. False when memory ran out.
  bool add(const RunState& run, const StringView& string, const int* edgeIdOfPair,
           EdgeDatabaseBuilder& builder) {
    int m = tavrel::frequentList(run, string, frequentList.data());
    std::size_t length = makeEdgeTransaction(run, frequentList.data(), m, edgeIdOfPair, held.data(),
                                             transaction.data());
    return builder.add(transaction.data(), length);
  }
};

// Several blocks of strings at once, each into a database of its own,
// merged at the end. False when memory ran out.
bool gatherInBlocks(RunState& run, const StringFeed& feed, const int* edgeIdOfPair,
                    EdgeDatabaseBuilder& builder) {
  std::size_t blocks = static_cast<std::size_t>(run.threads);
  std::size_t strings = feed.stringCount();
  std::vector<EdgeDatabaseBuilder> builders(blocks - 1);
  std::vector<EdgeDatabase> parts(blocks - 1);
  std::vector<char> fine(blocks, 0);
  forEachBlock(blocks, [&](std::size_t k) {
    EdgeDatabaseBuilder& into = k == 0 ? builder : builders[k - 1];
    TransactionScratch scratch;
    if ((k > 0 && !into.start(run.edgeCount, run.stringCount)) || !scratch.open(run)) return;
    std::size_t end = blockStart(strings, blocks, k + 1);
    for (std::size_t s = blockStart(strings, blocks, k); s < end; ++s) {
      if (!scratch.add(run, feed.at(s), edgeIdOfPair, into)) return;
    }
    if (k > 0) parts[k - 1] = into.finish();
    fine[k] = 1;
  });
  if (std::find(fine.begin(), fine.end(), 0) != fine.end()) return false;
  for (const EdgeDatabase& part : parts) {
    if (!builder.absorb(part)) return false;
  }
  return true;
}

}  // namespace

int buildEdgeDatabase(RunState& run, StringFeed& feed) {
  Buffer<int> edgeIdOfPair;
  if (!makeEdgeIdMatrix(run, edgeIdOfPair)) return -1;
  // The cells have done their work: the rest of the run needs only the
  // edge numbers.
  releasePairMatrix(run);
  EdgeDatabaseBuilder builder;
  if (!builder.start(run.edgeCount, run.stringCount) || feed.startPass(run) < 0) {
    return run.report.outOfMemory();
  }
  if (run.threads > 1 && feed.stringCount() > static_cast<std::size_t>(run.threads)) {
    if (!gatherInBlocks(run, feed, edgeIdOfPair.data(), builder)) return run.report.outOfMemory();
  } else {
    TransactionScratch scratch;
    if (!scratch.open(run)) return run.report.outOfMemory();
    StringView string;
    int status;
    while ((status = feed.next(run, &string)) > 0) {
      if (!scratch.add(run, string, edgeIdOfPair.data(), builder)) {
        return run.report.outOfMemory();
      }
    }
    if (status < 0) return -1;
  }
  run.edgeDatabase = builder.finish();
  return 0;
}

}  // namespace tavrel
