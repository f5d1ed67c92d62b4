#include "pairs/pair_statistics.h"

#include <algorithm>

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

// Where each frequent item stands in the string being handled:
// positionOf[f] for the frequent index f is valid when stampOf[f] equals
// currentStamp. With it, whether an item lies in a window is one look-up.
int* positionOf = nullptr;
unsigned* stampOf = nullptr;
int positionCapacity = 0;
unsigned currentStamp = 0;

// Records the positions of the string's frequent list. Returns 1 when the
// items are distinct (the positions are then valid), 0 when one repeats,
// and -1 after reporting a lack of memory.
int markPositions(const int* list, int m) {
  if (positionCapacity < frequentItemCount) {
    deleteArray(positionOf);
    deleteArray(stampOf);
    positionOf = newArray<int>(static_cast<std::size_t>(frequentItemCount));
    stampOf = newArray<unsigned>(static_cast<std::size_t>(frequentItemCount));
    positionCapacity = positionOf == nullptr || stampOf == nullptr ? 0 : frequentItemCount;
    currentStamp = 0;
    if (positionCapacity == 0) return -1;
  }
  if (++currentStamp == 0) {
    std::fill(stampOf, stampOf + positionCapacity, 0u);
    currentStamp = 1;
  }
  for (int k = 0; k < m; ++k) {
    int f = itemTable[list[k]].frequentIndex;
    if (stampOf[f] == currentStamp) return 0;
    stampOf[f] = currentStamp;
    positionOf[f] = k;
  }
  return 1;
}

// Keeps only the live entries of cell.between that lie strictly between
// positions i and j of the string whose positions are marked.
void intersectByPosition(PairCell& cell, int i, int j) {
  int toExamine = cell.betweenCount;
  for (int k = 0; toExamine > 0; ++k) {
    int entry = cell.between[k];
    if (entry == -1) continue;
    --toExamine;
    int f = itemTable[entry].frequentIndex;
    if (stampOf[f] != currentStamp || positionOf[f] <= i || positionOf[f] >= j) {
      cell.between[k] = -1;
      --cell.betweenCount;
    }
  }
}

// Keeps only the live entries of cell.between that occur in the window (a
// string that holds an item twice has no single position per item).
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
  int distinct = markPositions(list, m);
  if (distinct < 0) return -1;
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
        if (distinct) {
          intersectByPosition(cell, i, j);
        } else {
          intersectBetween(cell, list + i + 1, windowLength);
        }
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
  deleteArray(positionOf);
  deleteArray(stampOf);
  positionOf = nullptr;
  stampOf = nullptr;
  positionCapacity = 0;
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
