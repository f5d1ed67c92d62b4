#include "pairs/pair_statistics.h"

#include <algorithm>
#include <vector>

#include "base/parallel_blocks.h"
#include "pairs/edge_table.h"

namespace tavrel {

bool isFrequentEdge(const PairCell& cell, int minSup) {
  return cell.support >= minSup && cell.betweenCount == 0;
}

namespace {

// Sizes `matrix` for `frequent` items, every cell unseen. False when
// memory ran out.
bool startMatrix(PairMatrix& matrix, int frequent) {
  std::size_t f = static_cast<std::size_t>(frequent);
  matrix.size = frequent;
  matrix.currentStamp = 0;
  matrix.between.clear();
  return matrix.cells.assign(f * f, PairCell{}) && matrix.positionOf.resize(f) &&
         matrix.stampOf.assign(f, 0u);
}

// Records the positions of a string's frequent list (frequent indices).
// Returns true when the items are distinct (the positions are then valid).
bool markPositions(PairMatrix& matrix, const int* list, int m) {
  if (++matrix.currentStamp == 0) {
    std::fill(matrix.stampOf.begin(), matrix.stampOf.end(), 0u);
    matrix.currentStamp = 1;
  }
  for (int k = 0; k < m; ++k) {
    int f = list[k];
    if (matrix.stampOf[f] == matrix.currentStamp) return false;
    matrix.stampOf[f] = matrix.currentStamp;
    matrix.positionOf[f] = k;
  }
  return true;
}

// Keeps only the live entries of the cell's between list that lie strictly
// between positions i and j of the string whose positions are marked.
void intersectByPosition(PairMatrix& matrix, PairCell& cell, int i, int j) {
  int* between = matrix.between.data() + cell.betweenStart;
  int toExamine = cell.betweenCount;
  for (std::uint32_t k = 0; toExamine > 0; ++k) {
    int f = between[k];
    if (f == -1) continue;
    --toExamine;
    if (matrix.stampOf[f] != matrix.currentStamp || matrix.positionOf[f] <= i ||
        matrix.positionOf[f] >= j) {
      between[k] = -1;
      --cell.betweenCount;
    }
  }
}

// Keeps only the live entries of the cell's between list that occur in the
// window (a string that holds an item twice has no single position per
// item).
void intersectBetween(PairMatrix& matrix, PairCell& cell, const int* window, int windowLength) {
  int* between = matrix.between.data() + cell.betweenStart;
  int toExamine = cell.betweenCount;
  for (std::uint32_t k = 0; toExamine > 0; ++k) {
    int f = between[k];
    if (f == -1) continue;
    --toExamine;
    if (std::find(window, window + windowLength, f) == window + windowLength) {
      between[k] = -1;
      --cell.betweenCount;
    }
  }
}

// The pass's work on one frequent list (frequent indices in string order):
// the adjacency step, then the pair step. The between lists hold frequent
// indices. False when memory ran out.
bool addList(PairMatrix& matrix, const int* list, int m) {
  bool distinct = markPositions(matrix, list, m);
  // Adjacency step: neighbours in the frequent list have nothing between.
  for (int k = 1; k < m; ++k) {
    PairCell& cell = matrix.at(list[k - 1], list[k]);
    if (cell.unseen) {
      cell.unseen = 0;
    } else {
      cell.betweenCount = 0;
    }
  }
  // Pair step: every position pair i < j.
  Buffer<int>& arena = matrix.between;
  for (int i = 0; i + 1 < m; ++i) {
    for (int j = i + 1; j < m; ++j) {
      PairCell& cell = matrix.at(list[i], list[j]);
      ++cell.support;
      int windowLength = j - i - 1;
      if (cell.unseen) {
        cell.unseen = 0;
        cell.betweenCount = windowLength;
        cell.betweenStart = arena.size();
        cell.betweenLength = static_cast<std::uint32_t>(windowLength);
        if (!arena.append(list + i + 1, static_cast<std::size_t>(windowLength))) return false;
      } else if (cell.betweenCount > 0) {
        if (distinct) {
          intersectByPosition(matrix, cell, i, j);
        } else {
          intersectBetween(matrix, cell, list + i + 1, windowLength);
        }
      }
    }
  }
  return true;
}

// Adds the counts of `part` (strings of their own) to `into`: supports
// add, a pair met in both keeps the items between it that both kept (an
// adjacent sighting in either clears it for good), a pair met in one only
// keeps that one's. False when memory ran out.
bool mergeMatrix(PairMatrix& into, const PairMatrix& part) {
  std::size_t cells = into.cells.size();
  Buffer<unsigned>& marks = into.stampOf;  // stamps free once the counting is done
  for (std::size_t c = 0; c < cells; ++c) {
    PairCell& mine = into.cells[c];
    const PairCell& theirs = part.cells[c];
    if (theirs.unseen) continue;
    mine.support += theirs.support;
    if (mine.unseen) {
      mine.unseen = 0;
      mine.betweenCount = theirs.betweenCount;
      mine.betweenStart = into.between.size();
      mine.betweenLength = theirs.betweenLength;
      if (!into.between.append(part.between.data() + theirs.betweenStart, theirs.betweenLength)) {
        return false;
      }
      continue;
    }
    if (mine.betweenCount == 0) continue;
    if (theirs.betweenCount == 0) {
      mine.betweenCount = 0;
      continue;
    }
    if (++into.currentStamp == 0) {
      std::fill(marks.begin(), marks.end(), 0u);
      into.currentStamp = 1;
    }
    const int* kept = part.between.data() + theirs.betweenStart;
    for (std::uint32_t k = 0; k < theirs.betweenLength; ++k) {
      if (kept[k] != -1) marks[kept[k]] = into.currentStamp;
    }
    int* between = into.between.data() + mine.betweenStart;
    for (std::uint32_t k = 0; k < mine.betweenLength; ++k) {
      if (between[k] == -1 || marks[between[k]] == into.currentStamp) continue;
      between[k] = -1;
      --mine.betweenCount;
    }
  }
  return true;
}

// Several blocks of strings at once, each into a matrix of its own, merged
// at the end; only when the matrices, one per thread, take little memory.
constexpr std::size_t kMostBlockMatrixBytes = std::size_t{64} << 20;

bool countInBlocks(RunState& run, const StringFeed& feed) {
  std::size_t blocks = static_cast<std::size_t>(run.threads);
  std::size_t strings = feed.stringCount();
  std::vector<PairMatrix> parts(blocks - 1);
  std::vector<char> fine(blocks, 0);
  forEachBlock(blocks, [&](std::size_t k) {
    PairMatrix& matrix = k == 0 ? run.pairMatrix : parts[k - 1];
    Buffer<int> list;
    if ((k > 0 && !startMatrix(matrix, run.frequentItemCount)) ||
        !list.resize(static_cast<std::size_t>(run.maxItemLength))) {
      return;
    }
    std::size_t end = blockStart(strings, blocks, k + 1);
    for (std::size_t s = blockStart(strings, blocks, k); s < end; ++s) {
      if (!addList(matrix, list.data(), frequentList(run, feed.at(s), list.data()))) return;
    }
    fine[k] = 1;
  });
  if (std::find(fine.begin(), fine.end(), 0) != fine.end()) return false;
  for (const PairMatrix& part : parts) {
    if (!mergeMatrix(run.pairMatrix, part)) return false;
  }
  return true;
}

}  // namespace

int frequentList(const RunState& run, const StringView& string, int* list) {
  // Without a branch: which items are frequent is random to the predictor.
  int m = 0;
  for (int k = 0; k < string.count; ++k) {
    const ItemInfo& item = run.itemTable[string.items[k]];
    list[m] = item.frequentIndex;
    m += item.frequent;
  }
  return m;
}

int createPairMatrix(RunState& run) {
  return startMatrix(run.pairMatrix, run.frequentItemCount) ? 0 : run.report.outOfMemory();
}

int addFrequentList(RunState& run, const int* list, int m) {
  std::vector<int> frequent(static_cast<std::size_t>(m));
  for (int k = 0; k < m; ++k)
    frequent[static_cast<std::size_t>(k)] = run.itemTable[list[k]].frequentIndex;
  return addList(run.pairMatrix, frequent.data(), m) ? 0 : run.report.outOfMemory();
}

std::vector<int> liveBetween(const RunState& run, const PairCell& cell) {
  std::vector<int> live;
  for (std::uint32_t k = 0; k < cell.betweenLength && cell.betweenCount > 0; ++k) {
    int f = run.pairMatrix.between[cell.betweenStart + k];
    if (f != -1) live.push_back(run.frequentItems[f]);
  }
  return live;
}

int buildPairStatistics(RunState& run, StringFeed& feed) {
  if (createPairMatrix(run) < 0 || feed.startPass(run) < 0) return -1;
  std::size_t f = static_cast<std::size_t>(run.frequentItemCount);
  std::size_t blockBytes = f * f * sizeof(PairCell) * static_cast<std::size_t>(run.threads);
  if (run.threads > 1 && blockBytes <= kMostBlockMatrixBytes &&
      feed.stringCount() > static_cast<std::size_t>(run.threads)) {
    if (!countInBlocks(run, feed)) return run.report.outOfMemory();
    return buildEdgeTable(run);
  }
  Buffer<int> list;
  if (!list.resize(static_cast<std::size_t>(run.maxItemLength))) return run.report.outOfMemory();
  StringView string;
  int status;
  while ((status = feed.next(run, &string)) > 0) {
    if (!addList(run.pairMatrix, list.data(), frequentList(run, string, list.data()))) {
      return run.report.outOfMemory();
    }
  }
  if (status < 0) return -1;
  return buildEdgeTable(run);
}

void releasePairMatrix(RunState& run) { run.pairMatrix = PairMatrix{}; }

}  // namespace tavrel
