#include "hardening/allocation_hooks.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* block, std::size_t size);
void __real_free(void* block);
void* __real__Znwm(std::size_t size);
void* __real__Znam(std::size_t size);
void* __real__ZnwmRKSt9nothrow_t(std::size_t size, const std::nothrow_t& tag);
void* __real__ZnamRKSt9nothrow_t(std::size_t size, const std::nothrow_t& tag);
void __real__ZdlPv(void* block);
void __real__ZdlPvm(void* block, std::size_t size);
void __real__ZdaPv(void* block);
void __real__ZdaPvm(void* block, std::size_t size);
}

namespace tavrel::testing {

namespace {

// Any thread may allocate while armed: the numbering is atomic, and the
// table of live blocks is kept under a spin lock (which allocates nothing).
std::atomic<bool> armed{false};
std::atomic<long> counted{0};
long failing = 0;
std::atomic_flag tableLock = ATOMIC_FLAG_INIT;

struct TableGuard {
  TableGuard() {
    while (tableLock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~TableGuard() { tableLock.clear(std::memory_order_release); }
};
std::size_t live = 0;
std::size_t used = 0;  // slots holding a block or a tombstone

// The live blocks: open addressing over a fixed table, so that keeping
// track needs no allocation. Removed entries become tombstones until the
// next arming.
constexpr std::size_t kSlots = std::size_t{1} << 17;
void* const kTombstone = reinterpret_cast<void*>(std::uintptr_t{1});
void* slots[kSlots];

std::size_t slotOf(const void* block) {
  auto bits = reinterpret_cast<std::uintptr_t>(block);
  return static_cast<std::size_t>((bits >> 4) * 0x9E3779B97F4A7C15ull) & (kSlots - 1);
}

void remember(void* block) {
  if (!armed || block == nullptr) return;
  TableGuard guard;
  if (++used > kSlots / 4 * 3) std::abort();  // more blocks than a test run should make
  std::size_t at = slotOf(block);
  while (slots[at] != nullptr && slots[at] != kTombstone) at = (at + 1) & (kSlots - 1);
  slots[at] = block;
  ++live;
}

void forget(void* block) {
  if (!armed || block == nullptr) return;
  TableGuard guard;
  for (std::size_t at = slotOf(block); slots[at] != nullptr; at = (at + 1) & (kSlots - 1)) {
    if (slots[at] == block) {
      slots[at] = kTombstone;
      --live;
      return;
    }
  }
}

// Numbers one allocation; true when it is the one to fail.
bool failNow() {
  if (!armed) return false;
  return counted.fetch_add(1) + 1 == failing;
}

}  // namespace

void armAllocations(long failAt) {
  for (void*& slot : slots) slot = nullptr;
  live = 0;
  used = 0;
  counted = 0;
  failing = failAt;
  armed = true;
}

long disarmAllocations() {
  armed = false;
  return counted;
}

std::size_t liveAllocations() { return live; }

}  // namespace tavrel::testing

using tavrel::testing::failNow;
using tavrel::testing::forget;
using tavrel::testing::remember;

extern "C" {

void* __wrap_malloc(std::size_t size) {
  if (failNow()) return nullptr;
  void* block = __real_malloc(size);
  remember(block);
  return block;
}

void* __wrap_calloc(std::size_t count, std::size_t size) {
  if (failNow()) return nullptr;
  void* block = __real_calloc(count, size);
  remember(block);
  return block;
}

void* __wrap_realloc(void* block, std::size_t size) {
  if (failNow()) return nullptr;
  void* moved = __real_realloc(block, size);
  if (moved != nullptr) {
    forget(block);
    remember(moved);
  }
  return moved;
}

void __wrap_free(void* block) {
  forget(block);
  __real_free(block);
}

// The throwing operator new serves the standard containers and strings. Its
// blocks are not kept as live: a std::string made in this program's code
// may be destroyed inside the shared C++ library, where the hooks do not
// see the delete. (Containers free their own blocks; valgrind's memcheck
// test covers them.)
void* __wrap__Znwm(std::size_t size) {
  if (failNow()) throw std::bad_alloc();
  return __real__Znwm(size);
}

void* __wrap__Znam(std::size_t size) {
  if (failNow()) throw std::bad_alloc();
  return __real__Znam(size);
}

void* __wrap__ZnwmRKSt9nothrow_t(std::size_t size, const std::nothrow_t& tag) {
  if (failNow()) return nullptr;
  void* block = __real__ZnwmRKSt9nothrow_t(size, tag);
  remember(block);
  return block;
}

void* __wrap__ZnamRKSt9nothrow_t(std::size_t size, const std::nothrow_t& tag) {
  if (failNow()) return nullptr;
  void* block = __real__ZnamRKSt9nothrow_t(size, tag);
  remember(block);
  return block;
}

void __wrap__ZdlPv(void* block) {
  forget(block);
  __real__ZdlPv(block);
}

void __wrap__ZdlPvm(void* block, std::size_t size) {
  forget(block);
  __real__ZdlPvm(block, size);
}

void __wrap__ZdaPv(void* block) {
  forget(block);
  __real__ZdaPv(block);
}

void __wrap__ZdaPvm(void* block, std::size_t size) {
  forget(block);
  __real__ZdaPvm(block, size);
}

}  // extern "C"
