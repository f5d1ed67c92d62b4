// A run of the library on a thread of its own, for Python: its patterns go
// into flat arrays shared with the calling thread, which waits without the
// GIL. Used by the whole runs of run.h and the batches of stream.h.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "arrays.h"
#include "base/buffer.h"
#include "tavrel/tavrel.h"

namespace tavrel::python {

// What the run's thread and the calling thread share. The fields below
// `mutex` are written and read under it.
struct SharedRun {
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable changed;  // the run ended, or the patterns held reached the bound
  std::condition_variable room;     // patterns were taken out, or the run is to stop
  bool done = false;
  Status status;
  PatternArrays patterns;
  // When not 0: the sink waits while this many patterns (or kHeldEdgeInts
  // edge items) are held, until the calling thread takes them out.
  std::size_t holdLimit = 0;
  Buffer<std::int32_t> edgeTable;
  int stringCount = 0;
  int minSup = 0;
  int frequentItemCount = 0;
  bool outOfMemory = false;

  // Edge items held at most (with at least one pattern) while holdLimit is set.
  static constexpr std::size_t kHeldEdgeInts = std::size_t{1} << 24;

  // True when the sink must wait for the patterns to be taken out.
  bool full() const {
    return holdLimit != 0 && patterns.count() > 0 &&
           (patterns.count() >= holdLimit || patterns.edges.size() >= kHeldEdgeInts);
  }
};

// Keeps each pattern in the shared arrays, waiting while they are full.
// Never touches Python.
class KeepingSink : public PatternSink {
 public:
  explicit KeepingSink(SharedRun& run) : run_(run) {}

  bool begin(const RunInfo& info) override;
  bool take(const Pattern& pattern) override;

 private:
  bool outOfMemory();

  SharedRun& run_;
  Buffer<std::int32_t> items_;  // the pattern being taken
};

// Runs mine() on `source` into `run` from construction; the destructor
// stops the run and waits for its thread, however the caller leaves.
// `source` must outlive it.
class RunThread {
 public:
  // Raises MemoryError when the thread cannot be started.
  RunThread(SharedRun& run, const StringSource& source, const MineOptions& options);
  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;
  ~RunThread();

 private:
  SharedRun& run_;
  KeepingSink sink_;
  std::thread thread_;
};

// Raises the failure of a finished run: MemoryError when memory ran out,
// ValueError with the library's message otherwise.
[[noreturn]] void raiseFailure(const SharedRun& run);

// True when the finished run failed (it did not complete, reach the
// pattern limit or stop on request).
bool runFailed(const SharedRun& run);

// How long the calling thread waits between looks for a signal.
constexpr std::chrono::milliseconds kPollInterval{20};

// Waits without the GIL until `ready` (called under the lock) holds or a
// poll interval has passed, then raises what a signal handler raised
// (KeyboardInterrupt for Ctrl-C).
template <typename Ready>
void waitFor(SharedRun& run, Ready ready) {
  {
    pybind11::gil_scoped_release release;
    std::unique_lock<std::mutex> lock(run.mutex);
    if (!ready()) run.changed.wait_for(lock, kPollInterval);
  }
  if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
}

// The run's edge table as an int32[e,3] numpy array, which takes it.
pybind11::object takeEdgeTable(SharedRun& run);

}  // namespace tavrel::python
