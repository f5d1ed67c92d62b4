#include "parallel/work_item.h"

#include <algorithm>
#include <new>

namespace tavrel::parallel {

bool pushLevel(WorkItem& item, const ItemLevel& level) {
  try {
    item.levels.push_back(level);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool takePrefix(WorkItem& thief, const WorkItem& item, std::size_t chosen) {
  try {
    thief.prefix.reserve(item.prefix.size() + chosen);
    thief.prefix = item.prefix;
    for (std::size_t k = 0; k < chosen; ++k) {
      thief.prefix.push_back(item.levels[k].cursor->next - 1);
    }
    thief.levels.reserve(1);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool later(const WorkItem* a, const WorkItem* b) {
  std::size_t common = std::min(a->keyLength(), b->keyLength());
  for (std::size_t k = 0; k < common; ++k) {
    int stepA = a->keyAt(k), stepB = b->keyAt(k);
    if (stepA != stepB) return stepB < stepA;
  }
  return b->keyLength() < a->keyLength();
}

std::size_t splittableLevel(const WorkItem& item) {
  std::size_t depth = item.levels.size();
  for (std::size_t at = 0; at < depth; ++at) {
    const Cursor& cursor = *item.levels[at].cursor;
    if (cursor.end - cursor.next >= 2) return at;
  }
  return depth;
}

int nearStart(const WorkItem& item, std::size_t at) {
  const Cursor& cursor = *item.levels[at].cursor;
  int start = at + 1 < item.levels.size() ? cursor.next : cursor.next + 1;
  return start < cursor.end ? start : -1;
}

std::size_t nearLevel(const WorkItem& item, int height) {
  std::size_t depth = item.levels.size();
  std::size_t aim = depth > static_cast<std::size_t>(height) + 1 ? depth - 1 - height : 0;
  for (std::size_t at = aim + 1; at-- > 0;) {
    if (nearStart(item, at) >= 0) return at;
  }
  for (std::size_t at = aim + 1; at < depth; ++at) {
    if (nearStart(item, at) >= 0) return at;
  }
  return depth;
}

}  // namespace tavrel::parallel
