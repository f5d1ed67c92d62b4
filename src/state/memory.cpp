#include "state/memory.h"

#include <sys/mman.h>

#include <cstdint>

#include "state/console.h"

namespace tavrel {

namespace {
bool reported = false;
}

int reportOutOfMemory() {
  if (!reported) {
    reported = true;
    putText("Error: out of memory");
    endLine();
  }
  return -1;
}

bool outOfMemoryReported() { return reported; }

void adviseHugePages(void* block, std::size_t bytes) {
  constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
  if (block == nullptr || bytes < 2 * kHugePage) return;
  std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
  std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
}

void resetOutOfMemory() { reported = false; }

}  // namespace tavrel
