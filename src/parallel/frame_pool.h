// The lifetime of the frames of a parallel search. Frames do not change
// once made and are shared by reference counts: by the levels of the work
// items that stand on them, and by the vertical frames whose base they
// are. A worker keeps the frames and cursors it is done with in a pool of
// its own, to use again. Inline: a worker takes and keeps them at every
// step.
#pragma once

#include <atomic>
#include <new>
#include <vector>

#include "search/search_frame.h"

namespace tavrel::parallel {

// A worker's frames and cursors to use again. Used by its thread alone.
class FramePool {
 public:
  FramePool() = default;
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;
  ~FramePool() {
    delete spare_;
    for (FrameData* frame : frames_) delete frame;
    for (Cursor* cursor : cursors_) delete cursor;
  }

  // Keeps a frame or a cursor to use again; frees it when the list
  // cannot grow, so that no allocation failure escapes.
  void keepFrame(FrameData* frame) {
    try {
      frames_.push_back(frame);
    } catch (const std::bad_alloc&) {
      delete frame;
    }
  }
  void keepCursor(Cursor* cursor) {
    try {
      cursors_.push_back(cursor);
    } catch (const std::bad_alloc&) {
      delete cursor;
    }
  }
  // The frame the next step writes its child into: the same one until
  // useSpare() says the child was kept. nullptr when memory ran out.
  FrameData* takeFrame() {
    if (spare_ != nullptr) return spare_;
    if (!frames_.empty()) {
      spare_ = frames_.back();
      frames_.pop_back();
    } else {
      spare_ = new (std::nothrow) FrameData;
    }
    return spare_;
  }
  // The frame takeFrame() gave now belongs to the search.
  void useSpare() { spare_ = nullptr; }
  // A cursor to use; nullptr when memory ran out.
  Cursor* takeCursor() {
    if (cursors_.empty()) return new (std::nothrow) Cursor;
    Cursor* cursor = cursors_.back();
    cursors_.pop_back();
    return cursor;
  }

 private:
  std::vector<FrameData*> frames_;
  std::vector<Cursor*> cursors_;
  FrameData* spare_ = nullptr;
};

// Takes one more reference to the frame.
inline void acquire(const FrameData* frame) {
  const_cast<FrameData*>(frame)->references.fetch_add(1, std::memory_order_relaxed);
}

// A vertical frame works on the row sets of its base, an ancestor. While
// the frame stands on one item's levels only, the levels below it keep the
// base; before another item takes the frame (and may keep it after those
// levels are gone), the frame takes a reference to the base, once. A
// reference taken at every step instead made two threads in one base's
// subtree write the base's count at every step, each write a cache miss
// for the other.
inline void holdBase(const FrameData* frame) {
  if (!frame->vertical || frame->view.baseFrame == frame) return;
  if (!frame->holdsBase.exchange(true, std::memory_order_relaxed)) acquire(frame->view.baseFrame);
}

// The base a frame holds a reference to, or nullptr.
inline const FrameData* heldBase(const FrameData* frame) {
  return frame->holdsBase.load(std::memory_order_relaxed) ? frame->view.baseFrame : nullptr;
}

// Drops one reference to the frame. The last one frees it, with its hold
// on its base: into `pool` to be used again, or, without a pool (a frame
// made for a unit's path that never reached the workers), to the heap.
inline void release(const FrameData* frame, FramePool* pool) {
  if (frame->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  const FrameData* base = heldBase(frame);
  auto* own = const_cast<FrameData*>(frame);
  if (pool != nullptr) {
    pool->keepFrame(own);
  } else {
    delete own;
  }
  if (base != nullptr) release(base, pool);
}

}  // namespace tavrel::parallel
