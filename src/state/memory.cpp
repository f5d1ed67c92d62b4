#include "state/memory.h"

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

void resetOutOfMemory() { reported = false; }

}  // namespace tavrel
