// A thread with a small stack. The miner's threads keep their data on the
// heap and never recurse deeply, so they need far less than the usual
// stack of several megabytes, which counts against a limit on the
// process's address space.
#pragma once

#include <pthread.h>
#include <sys/mman.h>

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <utility>

namespace tavrel {

class SmallThread {
 public:
  SmallThread() = default;
  ~SmallThread() { join(); }
  SmallThread(const SmallThread&) = delete;
  SmallThread& operator=(const SmallThread&) = delete;

  // Starts `body` on a new thread. False when the system refuses (too many
  // threads, no memory): then nothing runs, and no thread is left. Returns
  // once the new thread has made its per-thread data (see entry()).
  bool start(std::function<void()> body) {
    body_ = std::move(body);
    state_ = State::kStarting;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, kStackBytes);
    started_ = pthread_create(&thread_, &attributes, &SmallThread::entry, this) == 0;
    pthread_attr_destroy(&attributes);
    if (!started_) return false;
    std::unique_lock<std::mutex> lock(lock_);
    told_.wait(lock, [this] { return state_ != State::kStarting; });
    if (state_ == State::kRunning) return true;
    lock.unlock();
    join();
    return false;
  }

  // Waits for the thread to end (nothing when it never started).
  void join() {
    if (started_) pthread_join(thread_, nullptr);
    started_ = false;
  }

 private:
  enum class State { kStarting, kRunning, kRefused };

  static void* entry(void* self) {
    auto* thread = static_cast<SmallThread*>(self);
    bool ready = makeRuntimeData();
    {
      std::lock_guard<std::mutex> guard(thread->lock_);
      thread->state_ = ready ? State::kRunning : State::kRefused;
    }
    thread->told_.notify_one();
    if (ready) thread->body_();
    return nullptr;
  }

  // The C++ runtime's per-thread data (where a thrown exception is kept)
  // is made at its first use. Where the runtime was loaded into a running
  // process (the Python module), that is an allocation which ends the whole
  // process when it fails, and the first exception thrown on the thread
  // would be std::bad_alloc itself. So the data is made here, first making
  // sure that address space is left: false (and no use of the runtime) when
  // it is not, and the thread then ends at once. (The room is looked for
  // with mmap, not malloc, which would give the thread an arena of its own
  // and so take far more of a limited address space.)
  static bool makeRuntimeData() {
    void* room =
        mmap(nullptr, kRuntimeRoom, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (room == MAP_FAILED) return false;
    munmap(room, kRuntimeRoom);
    // (Declared pure: a result left unused would let the call be dropped.)
    volatile int uncaught = std::uncaught_exceptions();
    (void)uncaught;
    return true;
  }

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  static constexpr std::size_t kStackBytes = std::size_t{8}
                                             << 20;  // the sanitizers' frames are big
#else
  static constexpr std::size_t kStackBytes = std::size_t{512} << 10;
#endif
  static constexpr std::size_t kRuntimeRoom = std::size_t{64} << 10;
  pthread_t thread_{};
  bool started_ = false;
  std::function<void()> body_;
  std::mutex lock_;
  std::condition_variable told_;
  State state_ = State::kStarting;
};

}  // namespace tavrel
