#include "pairs/pair_statistics.h"

#include <algorithm>
#include <vector>

#include "pairs/edge_table.h"

namespace tavrel {

bool isFrequentEdge(const PairCell& cell, int minSup) {
  return cell.support >= minSup && cell.betweenCount == 0;
}

int createPairMatrix(RunState& run) {
  PairMatrix& matrix = run.pairMatrix;
  std::size_t f = static_cast<std::size_t>(run.frequentItemCount);
  matrix.size = run.frequentItemCount;
  matrix.currentStamp = 0;
  if (!matrix.cells.assign(f * f, PairCell{}) || !matrix.positionOf.resize(f) ||
      !matrix.stampOf.assign(f, 0u)) {
    return run.report.outOfMemory();
  }
  return 0;
}

namespace {

PairCell& cellOf(RunState& run, int fromItem, int toItem) {
  return run.pairMatrix.at(run.itemTable[fromItem].frequentIndex,
                           run.itemTable[toItem].frequentIndex);
}

// Records the positions of the string's frequent list. Returns true when
// the items are distinct (the positions are then valid).
bool markPositions(RunState& run, const int* list, int m) {
  PairMatrix& matrix = run.pairMatrix;
  if (++matrix.currentStamp == 0) {
    std::fill(matrix.stampOf.begin(), matrix.stampOf.end(), 0u);
    matrix.currentStamp = 1;
  }
  for (int k = 0; k < m; ++k) {
    int f = run.itemTable[list[k]].frequentIndex;
    if (matrix.stampOf[f] == matrix.currentStamp) return false;
    matrix.stampOf[f] = matrix.currentStamp;
    matrix.positionOf[f] = k;
  }
  return true;
}

// Keeps only the live entries of the cell's between list that lie strictly
// between positions i and j of the string whose positions are marked.
void intersectByPosition(RunState& run, PairCell& cell, int i, int j) {
  PairMatrix& matrix = run.pairMatrix;
  int* between = matrix.between.data() + cell.betweenStart;
  int toExamine = cell.betweenCount;
  for (std::uint32_t k = 0; toExamine > 0; ++k) {
    int entry = between[k];
    if (entry == -1) continue;
    --toExamine;
    int f = run.itemTable[entry].frequentIndex;
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
void intersectBetween(RunState& run, PairCell& cell, const int* window, int windowLength) {
  int* between = run.pairMatrix.between.data() + cell.betweenStart;
  int toExamine = cell.betweenCount;
  for (std::uint32_t k = 0; toExamine > 0; ++k) {
    int entry = between[k];
    if (entry == -1) continue;
    --toExamine;
    if (std::find(window, window + windowLength, entry) == window + windowLength) {
      between[k] = -1;
      --cell.betweenCount;
    }
  }
}

}  // namespace

int addFrequentList(RunState& run, const int* list, int m) {
  bool distinct = markPositions(run, list, m);
  // Adjacency step: neighbours in the frequent list have nothing between.
  for (int k = 1; k < m; ++k) {
    PairCell& cell = cellOf(run, list[k - 1], list[k]);
    if (cell.unseen) {
      cell.unseen = 0;
    } else {
      cell.betweenCount = 0;
    }
  }
  // Pair step: every position pair i < j.
  Buffer<int>& arena = run.pairMatrix.between;
  for (int i = 0; i + 1 < m; ++i) {
    for (int j = i + 1; j < m; ++j) {
      PairCell& cell = cellOf(run, list[i], list[j]);
      ++cell.support;
      int windowLength = j - i - 1;
      if (cell.unseen) {
        cell.unseen = 0;
        cell.betweenCount = windowLength;
        cell.betweenStart = arena.size();
        cell.betweenLength = static_cast<std::uint32_t>(windowLength);
        if (!arena.append(list + i + 1, static_cast<std::size_t>(windowLength))) {
          return run.report.outOfMemory();
        }
      } else if (cell.betweenCount > 0) {
        if (distinct) {
          intersectByPosition(run, cell, i, j);
        } else {
          intersectBetween(run, cell, list + i + 1, windowLength);
        }
      }
    }
  }
  return 0;
}

std::vector<int> liveBetween(const PairMatrix& matrix, const PairCell& cell) {
  std::vector<int> live;
  for (std::uint32_t k = 0; k < cell.betweenLength && cell.betweenCount > 0; ++k) {
    int entry = matrix.between[cell.betweenStart + k];
    if (entry != -1) live.push_back(entry);
  }
  return live;
}

int buildPairStatistics(RunState& run, StringFeed& feed) {
  if (createPairMatrix(run) < 0 || feed.startPass(run) < 0) return -1;
  Buffer<int> list;
  if (!list.resize(static_cast<std::size_t>(run.maxItemLength))) return run.report.outOfMemory();
  StringView string;
  int status;
  while ((status = feed.next(run, &string)) > 0) {
    int m = 0;
    for (int k = 0; k < string.count; ++k) {
      int item = string.items[k];
      if (run.itemTable[item].frequent) list[m++] = item;
    }
    if (addFrequentList(run, list.data(), m) < 0) return -1;
  }
  if (status < 0) return -1;
  return buildEdgeTable(run);
}

void releasePairMatrix(RunState& run) { run.pairMatrix = PairMatrix{}; }

}  // namespace tavrel
