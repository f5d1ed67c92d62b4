#include "input/first_pass.h"

#include "input/string_line.h"
#include "state/global_state.h"
#include "state/memory.h"

namespace tavrel {

int countItems() {
  StringReader reader;
  if (openStringReader(&reader) < 0) return -1;
  itemTable = newArray<ItemInfo>(static_cast<std::size_t>(totalItems));
  if (itemTable == nullptr) {
    closeStringReader(&reader);
    return -1;
  }
  int status;
  while ((status = nextString(&reader)) > 0) {
    for (int k = 0; k < reader.itemCount; ++k) ++itemTable[reader.items[k]].occurrences;
  }
  closeStringReader(&reader);
  if (status < 0) return -1;

  frequentItemCount = 0;
  for (int item = 0; item < totalItems; ++item) {
    if (itemTable[item].occurrences >= minSup) {
      itemTable[item].frequent = 1;
      itemTable[item].frequentIndex = frequentItemCount++;
    }
  }
  frequentItems = newArray<int>(static_cast<std::size_t>(frequentItemCount));
  if (frequentItems == nullptr) return -1;
  for (int item = 0; item < totalItems; ++item) {
    if (itemTable[item].frequent) frequentItems[itemTable[item].frequentIndex] = item;
  }
  return 0;
}

}  // namespace tavrel
