#include "stream.h"

#include <utility>

namespace py = pybind11;

namespace tavrel::python {

MiningStream::MiningStream(const StringSource& source, const MineOptions& options, py::object keep,
                           std::size_t batchPatterns)
    : source_(source), keep_(std::move(keep)) {
  run_.holdLimit = batchPatterns < 1 ? 1 : batchPatterns;
  MineOptions own = options;
  own.stop = &run_.stop;
  thread_ = std::make_unique<RunThread>(run_, source_, own);
}

py::object MiningStream::next() {
  if (thread_ == nullptr) return py::none();
  bool done = false;
  bool full = false;
  while (!done && !full) {
    waitFor(run_, [&] {
      done = run_.done;
      full = run_.full();
      return done || full;
    });
  }
  PatternArrays patterns;
  {
    std::lock_guard<std::mutex> lock(run_.mutex);
    std::swap(patterns, run_.patterns);
    run_.room.notify_all();
  }
  if (done) {
    thread_.reset();  // joins the finished thread
    if (runFailed(run_)) raiseFailure(run_);
    if (patterns.count() == 0 && anyBatch_) return py::none();
  }
  return batch(patterns);
}

py::dict MiningStream::batch(PatternArrays& patterns) {
  if (edgeTable_.is_none() || !edgeTable_) {
    std::lock_guard<std::mutex> lock(run_.mutex);
    edgeTable_ = takeEdgeTable(run_);
  }
  py::dict out;
  out["first"] = given_;
  given_ += patterns.count();
  anyBatch_ = true;
  putPatternArrays(patterns, out);
  out["edge_table"] = edgeTable_;
  std::lock_guard<std::mutex> lock(run_.mutex);
  out["string_count"] = run_.stringCount;
  out["min_sup"] = run_.minSup;
  out["frequent_item_count"] = run_.frequentItemCount;
  return out;
}

const char* MiningStream::ending() const {
  if (thread_ != nullptr) return "running";
  if (closedEarly_) return "stopped";
  return run_.status.code() == Status::Code::kPatternLimit ? "pattern_limit" : "complete";
}

void MiningStream::close() {
  if (thread_ == nullptr) return;
  closedEarly_ = true;
  thread_.reset();
}

}  // namespace tavrel::python
