// A run of the library whose patterns Python takes in batches while the
// search goes on, in bounded memory: the run's thread waits while a batch
// is held and not yet taken.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "run_thread.h"
#include "tavrel/tavrel.h"

namespace tavrel::python {

class MiningStream {
 public:
  // Starts mining `source`; `keep` is the Python object that holds the
  // strings `source` points into. At most `batchPatterns` patterns wait
  // to be taken. Raises MemoryError when the run's thread cannot start.
  MiningStream(const StringSource& source, const MineOptions& options, pybind11::object keep,
               std::size_t batchPatterns);

  // The next batch as a dict: "supports", "offsets" (from 0), "edges" as
  // in run.h, "first" (the patterns of the run before it), "edge_table"
  // and the run's figures. The first call always gives one, empty when
  // the run found nothing; later ones give None once the run has ended.
  // Raises the run's failure (ValueError, MemoryError) and what a signal
  // handler raised (KeyboardInterrupt) while waiting.
  pybind11::object next();

  // How the run ended: "complete", "pattern_limit", "stopped" (closed
  // early) or "running".
  const char* ending() const;

  // Stops the run (when it still runs) and waits for its thread.
  void close();

 private:
  pybind11::dict batch(PatternArrays& patterns);

  SharedRun run_;
  StringSource source_;
  pybind11::object keep_;
  pybind11::object edgeTable_;
  std::unique_ptr<RunThread> thread_;
  std::size_t given_ = 0;     // patterns handed out
  bool anyBatch_ = false;     // a batch was handed out
  bool closedEarly_ = false;  // close() stopped a running run
};

}  // namespace tavrel::python
