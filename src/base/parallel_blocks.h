// Work cut into blocks and done on several threads at once, for the passes
// over the strings and other work whose parts do not depend on each other.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "base/small_thread.h"

namespace tavrel {

// Runs body(k) for every k in [0, blocks): block 0 on the calling thread,
// the others on threads of their own; a block whose thread cannot be
// started runs on the calling thread after block 0. Returns when all are
// done. The body must not throw.
template <typename Body>
void forEachBlock(std::size_t blocks, const Body& body) {
  std::vector<std::unique_ptr<SmallThread>> threads;
  std::vector<char> started(blocks, 0);
  try {
    threads.reserve(blocks);
    for (std::size_t k = 1; k < blocks; ++k) {
      threads.push_back(std::make_unique<SmallThread>());
      started[k] = threads.back()->start([&body, k] { body(k); });
    }
  } catch (const std::bad_alloc&) {
  }
  if (blocks > 0) body(0);
  for (std::size_t k = 1; k < blocks; ++k) {
    if (!started[k]) body(k);
  }
  for (auto& thread : threads) thread->join();
}

// The first of `count` items in block k of `blocks` equal blocks.
inline std::size_t blockStart(std::size_t count, std::size_t blocks, std::size_t k) {
  return count / blocks * k + (k < count % blocks ? k : count % blocks);
}

}  // namespace tavrel
