#include "input/first_pass.h"

namespace tavrel {

namespace {

// numerator / denominator of `count`, rounded up, at least 1.
int shareOf(const SupportShare& share, int count) {
  __extension__ using Wide = unsigned __int128;
  Wide product = static_cast<Wide>(count) * static_cast<Wide>(share.numerator);
  Wide denominator = static_cast<Wide>(share.denominator);
  Wide rounded = (product + denominator - 1) / denominator;
  return rounded < 1 ? 1 : static_cast<int>(rounded);  // at most count, as share <= 1
}

}  // namespace

int countItems(RunState& run, StringFeed& feed) {
  if (feed.startPass(run) < 0) return -1;
  if (!run.itemTable.assign(static_cast<std::size_t>(run.totalItems), ItemInfo{})) {
    return run.report.outOfMemory();
  }
  ItemInfo* itemTable = run.itemTable.data();
  StringView string;
  int status;
  run.stringsRead = 0;
  while ((status = feed.next(run, &string)) > 0) {
    ++run.stringsRead;
    for (int k = 0; k < string.count; ++k) ++itemTable[string.items[k]].occurrences;
  }
  if (status < 0) return -1;
  if (run.minSupShare.numerator > 0) run.minSup = shareOf(run.minSupShare, run.stringsRead);

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
