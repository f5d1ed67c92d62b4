#include "run_thread.h"

#include <exception>
#include <string>
#include <system_error>
#include <utility>

namespace py = pybind11;

namespace tavrel::python {

bool KeepingSink::begin(const RunInfo& info) {
  std::lock_guard<std::mutex> lock(run_.mutex);
  run_.stringCount = info.stringCount;
  run_.minSup = info.minSup;
  run_.frequentItemCount = info.frequentItemCount;
  if (!run_.edgeTable.reserve(info.edges.size() * 3)) return outOfMemory();
  for (const EdgeSupport& edge : info.edges) {
    for (int value : {edge.edge.before, edge.edge.after, edge.support}) run_.edgeTable.push(value);
  }
  return true;
}

bool KeepingSink::take(const Pattern& pattern) {
  if (!items_.resize(2 * pattern.edges.size())) return outOfMemory();
  std::size_t k = 0;
  for (const Edge& edge : pattern.edges) {
    items_[k++] = edge.before;
    items_[k++] = edge.after;
  }
  std::unique_lock<std::mutex> lock(run_.mutex);
  run_.room.wait(lock, [this] { return !run_.full() || run_.stop.load(); });
  if (run_.stop.load()) return false;
  if (!run_.patterns.add(pattern.support, items_.data(), pattern.edges.size())) {
    return outOfMemory();
  }
  if (run_.full()) run_.changed.notify_all();
  return true;
}

bool KeepingSink::outOfMemory() {
  run_.outOfMemory = true;
  return false;
}

RunThread::RunThread(SharedRun& run, const StringSource& source, const MineOptions& options)
    : run_(run), sink_(run) {
  try {
    thread_ = std::thread([this, &source, options] {
      // A thread's first C++ exception makes libstdc++ allocate its
      // thread-local data, and glibc ends the process when that fails:
      // have it made now, before the run takes the memory. (The function
      // is declared pure: a result left unused would let the call go.)
      volatile int uncaught = std::uncaught_exceptions();
      (void)uncaught;
      Status status = mine(source, options, sink_);
      std::lock_guard<std::mutex> lock(run_.mutex);
      run_.status = std::move(status);
      run_.done = true;
      run_.changed.notify_all();
    });
  } catch (const std::system_error& error) {
    std::string message = std::string("cannot start the run's thread: ") + error.what();
    PyErr_SetString(PyExc_MemoryError, message.c_str());
    throw py::error_already_set();
  }
}

RunThread::~RunThread() {
  {
    std::lock_guard<std::mutex> lock(run_.mutex);
    run_.stop.store(true);
    run_.room.notify_all();
  }
  py::gil_scoped_release release;
  thread_.join();
}

bool runFailed(const SharedRun& run) {
  return run.outOfMemory || !(run.status.finished() || run.status.code() == Status::Code::kStopped);
}

void raiseFailure(const SharedRun& run) {
  std::string message(run.status.message());
  while (!message.empty() && message.back() == '\n') message.pop_back();
  if (run.outOfMemory || run.status.code() == Status::Code::kOutOfMemory) {
    PyErr_SetString(PyExc_MemoryError, message.empty() ? "out of memory" : message.c_str());
    throw py::error_already_set();
  }
  throw py::value_error(message);
}

py::object takeEdgeTable(SharedRun& run) {
  auto edgeCount = static_cast<py::ssize_t>(run.edgeTable.size() / 3);
  return toNumpy(std::move(run.edgeTable), {edgeCount, 3});
}

}  // namespace tavrel::python
