#include "pairs/pair_statistics.h"

#include "input/string_line.h"
#include "pairs/edge_table.h"
#include "state/global_state.h"
#include "state/memory.h"

namespace tavrel {

bool isFrequentEdge(const PairCell& cell) {
  return cell.support >= minSup && cell.betweenCount == 0;
}

namespace {

PairCell& cellOf(int fromItem, int toItem) {
  return pairMatrix[itemTable[fromItem].frequentIndex][itemTable[toItem].frequentIndex];
}

int createPairMatrix() {
  pairMatrix = newArray<PairCell*>(static_cast<std::size_t>(frequentItemCount));
  if (pairMatrix == nullptr) return -1;
  for (int row = 0; row < frequentItemCount; ++row) {
    pairMatrix[row] = newArray<PairCell>(static_cast<std::size_t>(frequentItemCount));
    if (pairMatrix[row] == nullptr) return -1;
  }
  return 0;
}

// Keeps only the live entries of cell.between that occur in the window.
void intersectBetween(PairCell& cell, const int* window, int windowLength) {
  int toExamine = cell.betweenCount;
  for (int k = 0; toExamine > 0; ++k) {
    int entry = cell.between[k];
    if (entry == -1) continue;
    --toExamine;
    bool found = false;
    for (int w = 0; w < windowLength; ++w) {
      if (window[w] == entry) {
        found = true;
        break;
      }
    }
    if (!found) {
      cell.between[k] = -1;
      --cell.betweenCount;
    }
  }
}

}  // namespace

int addFrequentList(const int* list, int m) {
  // Adjacency step: neighbours in the frequent list have nothing between.
  for (int k = 1; k < m; ++k) {
    PairCell& cell = cellOf(list[k - 1], list[k]);
    if (cell.unseen) {
      cell.unseen = 0;
    } else {
      cell.betweenCount = 0;
      deleteArray(cell.between);
      cell.between = nullptr;
    }
  }
  // Pair step: every position pair i < j.
  for (int i = 0; i + 1 < m; ++i) {
    for (int j = i + 1; j < m; ++j) {
      PairCell& cell = cellOf(list[i], list[j]);
      ++cell.support;
      int windowLength = j - i - 1;
      if (cell.unseen) {
        cell.unseen = 0;
        cell.betweenCount = windowLength;
        cell.between = newArray<int>(static_cast<std::size_t>(windowLength));
        if (cell.between == nullptr) return -1;
        for (int w = 0; w < windowLength; ++w) cell.between[w] = list[i + 1 + w];
      } else if (cell.betweenCount > 0) {
        intersectBetween(cell, list + i + 1, windowLength);
      }
    }
  }
  return 0;
}

int buildPairStatistics() {
  if (createPairMatrix() < 0) return -1;
  StringReader reader;
  if (openStringReader(&reader) < 0) return -1;
  int* list = newArray<int>(static_cast<std::size_t>(maxItemLength));
  int status = list == nullptr ? -1 : 1;
  while (status > 0 && (status = nextString(&reader)) > 0) {
    int m = 0;
    for (int k = 0; k < reader.itemCount; ++k) {
      int item = reader.items[k];
      if (itemTable[item].frequent) list[m++] = item;
    }
    if (addFrequentList(list, m) < 0) status = -1;
  }
  deleteArray(list);
  if (status == 0) status = buildEdgeTable();
  closeStringReader(&reader);
  return status;
}

void releasePairMatrix() {
  if (pairMatrix == nullptr) return;
  for (int row = 0; row < frequentItemCount; ++row) {
    PairCell* cells = pairMatrix[row];
    if (cells == nullptr) continue;
    for (int column = 0; column < frequentItemCount; ++column) deleteArray(cells[column].between);
    deleteArray(cells);
  }
  deleteArray(pairMatrix);
  pairMatrix = nullptr;
}

}  // namespace tavrel
