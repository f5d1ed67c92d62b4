// Checked allocation of the miner's heap arrays. The tables can be huge (a
// spec file may claim two billion items), so every allocation that depends
// on the input goes through here and a failure becomes a clean error.
#pragma once

#include <cstddef>
#include <new>

namespace tavrel {

// Writes "Error: out of memory" as one line, the first time it is called in
// a run, and returns -1 so that callers can `return reportOutOfMemory();`.
int reportOutOfMemory();

// True once reportOutOfMemory() has been called in this run.
bool outOfMemoryReported();

// Forgets an earlier report, so that a new run in the same process reports
// its own failure.
void resetOutOfMemory();

// Allocates `count` records of T with their initial values. Returns nullptr
// after reporting out of memory when the memory cannot be obtained. A count
// of 0 gives a valid, empty array.
template <typename T>
T* newArray(std::size_t count) {
  if (count > static_cast<std::size_t>(-1) / 2 / sizeof(T)) {
    reportOutOfMemory();
    return nullptr;
  }
  T* array = new (std::nothrow) T[count]();
  if (array == nullptr) reportOutOfMemory();
  return array;
}

// Asks the system to back the whole 2 MB pages inside a large block with
// huge pages: fewer page faults when it is first written, and fewer TLB
// misses when it is read out of order. Only advice; nothing changes if the
// system does not take it.
void adviseHugePages(void* block, std::size_t bytes);

// Frees an array made by newArray(); nullptr is allowed.
template <typename T>
void deleteArray(T* array) {
  delete[] array;
}

}  // namespace tavrel
