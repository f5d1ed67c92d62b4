#include "input/first_pass.h"

namespace tavrel {

int countItems(RunState& run, StringFeed& feed) {
  if (feed.startPass(run) < 0) return -1;
  if (!run.itemTable.assign(static_cast<std::size_t>(run.totalItems), ItemInfo{})) {
    return run.report.outOfMemory();
  }
  ItemInfo* itemTable = run.itemTable.data();
  StringView string;
  int status;
  while ((status = feed.next(run, &string)) > 0) {
    for (int k = 0; k < string.count; ++k) ++itemTable[string.items[k]].occurrences;
  }
  if (status < 0) return -1;

  run.frequentItemCount = 0;
  for (int item = 0; item < run.totalItems; ++item) {
    if (itemTable[item].occurrences >= run.minSup) {
      itemTable[item].frequent = 1;
      itemTable[item].frequentIndex = run.frequentItemCount++;
    }
  }
  if (!run.frequentItems.resize(static_cast<std::size_t>(run.frequentItemCount))) {
    return run.report.outOfMemory();
  }
  for (int item = 0; item < run.totalItems; ++item) {
    if (itemTable[item].frequent) run.frequentItems[itemTable[item].frequentIndex] = item;
  }
  return 0;
}

}  // namespace tavrel
