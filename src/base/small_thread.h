// A thread with a small stack. The miner's threads keep their data on the
// heap and never recurse deeply, so they need far less than the usual
// stack of several megabytes, which counts against a limit on the
// process's address space.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <utility>

namespace tavrel {

class SmallThread {
 public:
  SmallThread() = default;
  ~SmallThread() { join(); }
  SmallThread(const SmallThread&) = delete;
  SmallThread& operator=(const SmallThread&) = delete;

  // Starts `body` on a new thread. False when the system refuses (too many
  // threads, no memory); nothing runs then.
  bool start(std::function<void()> body) {
    body_ = std::move(body);
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, kStackBytes);
    started_ = pthread_create(&thread_, &attributes, &SmallThread::entry, this) == 0;
    pthread_attr_destroy(&attributes);
    return started_;
  }

  // Waits for the thread to end (nothing when it never started).
  void join() {
    if (started_) pthread_join(thread_, nullptr);
    started_ = false;
  }

 private:
  static void* entry(void* self) {
    // The C++ runtime's per-thread data (where a thrown exception is kept)
    // is made at its first use. Where the runtime was loaded into a running
    // process (the Python module), that is an allocation that ends the
    // process when it fails, and the first exception to be thrown on the
    // thread would be std::bad_alloc itself: make it now, while the memory
    // the thread started with is still there.
    (void)std::uncaught_exceptions();
    static_cast<SmallThread*>(self)->body_();
    return nullptr;
  }

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  static constexpr std::size_t kStackBytes = std::size_t{8}
                                             << 20;  // the sanitizers' frames are big
#else
  static constexpr std::size_t kStackBytes = std::size_t{512} << 10;
#endif
  pthread_t thread_{};
  bool started_ = false;
  std::function<void()> body_;
};

}  // namespace tavrel
