#include "run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "arrays.h"
#include "base/buffer.h"

namespace py = pybind11;

namespace tavrel::python {

namespace {

// How long the calling thread sleeps between looks for a signal.
constexpr std::chrono::milliseconds kPollInterval{20};
// The most patterns handed to the callback at once.
constexpr std::size_t kBatchLimit = 1 << 14;

// What the run's thread and the calling thread share.
struct SharedRun {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  Status status;
  std::atomic<bool> stop{false};
  // Written by the sink under `mutex`:
  PatternArrays patterns;
  Buffer<std::int32_t> edgeTable;
  int stringCount = 0;
  int minSup = 0;
  int frequentItemCount = 0;
  bool outOfMemory = false;
};

// Keeps each pattern in the shared arrays. Never touches Python.
class KeepingSink : public PatternSink {
 public:
  explicit KeepingSink(SharedRun& run) : run_(run) {}

  bool begin(const RunInfo& info) override {
    std::lock_guard<std::mutex> lock(run_.mutex);
    run_.stringCount = info.stringCount;
    run_.minSup = info.minSup;
    run_.frequentItemCount = info.frequentItemCount;
    if (!run_.edgeTable.reserve(info.edges.size() * 3)) return outOfMemory();
    for (const EdgeSupport& edge : info.edges) {
      for (int value : {edge.edge.before, edge.edge.after, edge.support})
        run_.edgeTable.push(value);
    }
    return true;
  }

  bool take(const Pattern& pattern) override {
    if (!items_.resize(2 * pattern.edges.size())) return outOfMemory();
    std::size_t k = 0;
    for (const Edge& edge : pattern.edges) {
      items_[k++] = edge.before;
      items_[k++] = edge.after;
    }
    std::lock_guard<std::mutex> lock(run_.mutex);
    return run_.patterns.add(pattern.support, items_.data(), pattern.edges.size()) || outOfMemory();
  }

 private:
  bool outOfMemory() {
    run_.outOfMemory = true;
    return false;
  }

  SharedRun& run_;
  Buffer<std::int32_t> items_;  // the pattern being taken
};

// Stops the run and waits for its thread, however the caller leaves.
class RunThread {
 public:
  RunThread(SharedRun& run, const StringSource& source, const MineOptions& options)
      : run_(run), sink_(run), thread_([this, &source, options] {
          Status status = mine(source, options, sink_);
          std::lock_guard<std::mutex> lock(run_.mutex);
          run_.status = std::move(status);
          run_.done = true;
          run_.finished.notify_all();
        }) {}

  RunThread(const RunThread&) = delete;
  RunThread& operator=(const RunThread&) = delete;

  ~RunThread() {
    run_.stop.store(true);
    py::gil_scoped_release release;
    thread_.join();
  }

 private:
  SharedRun& run_;
  KeepingSink sink_;
  std::thread thread_;
};

// Copies patterns first .. first + count of the shared arrays (under the
// lock) into numpy arrays, offsets from 0, and calls `deliver` with them.
// Returns its answer.
py::object deliverBatch(SharedRun& run, std::size_t first, std::size_t count,
                        const py::object& deliver) {
  PatternArrays batch;
  {
    std::lock_guard<std::mutex> lock(run.mutex);
    const PatternArrays& all = run.patterns;
    for (std::size_t k = first; k < first + count; ++k) {
      std::int64_t start = all.offset(k);
      if (!batch.add(all.supports[k], all.edges.data() + 2 * start,
                     static_cast<std::size_t>(all.offset(k + 1) - start))) {
        throw std::bad_alloc();
      }
    }
  }
  py::dict arrays;
  putPatternArrays(batch, arrays);
  return deliver(first, arrays["supports"], arrays["offsets"], arrays["edges"]);
}

[[noreturn]] void raiseFailure(const SharedRun& run) {
  std::string message(run.status.message());
  while (!message.empty() && message.back() == '\n') message.pop_back();
  if (run.outOfMemory || run.status.code() == Status::Code::kOutOfMemory) {
    PyErr_SetString(PyExc_MemoryError, message.empty() ? "out of memory" : message.c_str());
    throw py::error_already_set();
  }
  throw py::value_error(message);
}

}  // namespace

py::dict runMining(const StringSource& source, const MineOptions& options, py::object deliver) {
  SharedRun run;
  MineOptions own = options;
  own.stop = &run.stop;
  std::size_t delivered = 0;
  std::size_t kept = static_cast<std::size_t>(-1);  // set when the callback stopped the run
  bool calling = !deliver.is_none();
  {
    RunThread thread(run, source, own);
    for (;;) {
      bool done;
      std::size_t available;
      {
        py::gil_scoped_release release;
        std::unique_lock<std::mutex> lock(run.mutex);
        if (!run.done && !(calling && run.patterns.count() > delivered)) {
          run.finished.wait_for(lock, kPollInterval);
        }
        done = run.done;
        available = run.patterns.count();
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (calling && available > delivered) {
        std::size_t count = std::min(available - delivered, kBatchLimit);
        py::object answer = deliverBatch(run, delivered, count, deliver);
        if (!answer.is_none()) {
          kept = delivered + std::min(answer.cast<std::size_t>(), count);
          calling = false;
          run.stop.store(true);
        }
        delivered += count;
        continue;
      }
      if (done) break;
    }
  }
  // The run stops by itself only when it is complete, at the pattern
  // limit, or on a failure: a stopped run was stopped by the callback.
  if (run.outOfMemory || !(run.status.finished() || run.status.code() == Status::Code::kStopped)) {
    raiseFailure(run);
  }
  bool stoppedByCallback = kept != static_cast<std::size_t>(-1);
  if (stoppedByCallback) run.patterns.keepFirst(kept);

  py::dict out;
  auto edgeCount = static_cast<py::ssize_t>(run.edgeTable.size() / 3);
  putPatternArrays(run.patterns, out);
  out["edge_table"] = toNumpy(std::move(run.edgeTable), {edgeCount, 3});
  out["string_count"] = run.stringCount;
  out["min_sup"] = run.minSup;
  out["frequent_item_count"] = run.frequentItemCount;
  const char* ending = "stopped";
  if (!stoppedByCallback && run.status.ok()) ending = "complete";
  if (!stoppedByCallback && run.status.code() == Status::Code::kPatternLimit) {
    ending = "pattern_limit";
  }
  out["ending"] = ending;
  return out;
}

}  // namespace tavrel::python
