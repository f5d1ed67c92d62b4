#include "run.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>

#include "arrays.h"
#include "run_thread.h"

namespace py = pybind11;

namespace tavrel::python {

namespace {

// The most patterns handed to the callback at once.
constexpr std::size_t kBatchLimit = 1 << 14;

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

// Follows the run until it ends, handing new patterns to `deliver` (unless
// None). Returns how many patterns to keep when the callback stopped the
// run, or nothing. Raises what a signal handler or the callback raised.
std::optional<std::size_t> followRun(SharedRun& run, py::object deliver) {
  std::size_t delivered = 0;
  bool calling = !deliver.is_none();
  for (;;) {
    bool done = false;
    std::size_t available = 0;
    waitFor(run, [&] {
      done = run.done;
      available = run.patterns.count();
      return done || (calling && available > delivered);
    });
    if (calling && available > delivered) {
      std::size_t count = std::min(available - delivered, kBatchLimit);
      py::object answer = deliverBatch(run, delivered, count, deliver);
      if (!answer.is_none()) {
        run.stop.store(true);
        return delivered + std::min(answer.cast<std::size_t>(), count);
      }
      delivered += count;
    } else if (done) {
      return std::nullopt;
    }
  }
}

// The run's patterns, edge table and figures, and how it ended.
py::dict resultArrays(SharedRun& run, const char* ending) {
  py::dict out;
  putPatternArrays(run.patterns, out);
  out["edge_table"] = takeEdgeTable(run);
  out["string_count"] = run.stringCount;
  out["min_sup"] = run.minSup;
  out["frequent_item_count"] = run.frequentItemCount;
  out["ending"] = ending;
  return out;
}

}  // namespace

py::dict runMining(const StringSource& source, const MineOptions& options, py::object deliver,
                   py::dict partial) {
  SharedRun run;
  MineOptions own = options;
  own.stop = &run.stop;
  std::optional<std::size_t> kept;
  std::optional<py::error_already_set> raised;
  {
    RunThread thread(run, source, own);
    try {
      kept = followRun(run, std::move(deliver));
    } catch (py::error_already_set& error) {
      raised.emplace(std::move(error));
    }
  }  // the run has stopped here
  if (raised) {
    // Ctrl-C or the callback: what was found goes with the exception.
    if (!run.outOfMemory) partial.attr("update")(resultArrays(run, "interrupted"));
    throw std::move(*raised);
  }
  if (runFailed(run)) raiseFailure(run);
  // Unless the callback stopped it, the run stopped by itself: complete,
  // at the pattern limit, or on a failure.
  const char* ending = "stopped";
  if (kept) {
    run.patterns.keepFirst(*kept);
  } else if (run.status.ok()) {
    ending = "complete";
  } else if (run.status.code() == Status::Code::kPatternLimit) {
    ending = "pattern_limit";
  }
  return resultArrays(run, ending);
}

}  // namespace tavrel::python
