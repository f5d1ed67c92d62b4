// What tavrel-scaling prints: the measured searches, the tree's limits and
// the predicted times on one machine and on clusters.
#pragma once

#include <vector>

#include "scaling/cost_tree.h"
#include "scaling/search_runs.h"
#include "scaling/tree_layout.h"
#include "scaling/work_simulator.h"

namespace tavrel::scaling {

struct ReportOptions {
  // Between nodes, by default: 2 µs a message and 5 GB/s, message passing
  // through shared memory on one host (assumed, not measured).
  MachineModel machine{1, 1, 1000, 5000, 2000, 5e9, 0, 1};
  std::vector<int> workers{1, 2, 4, 8, 16, 64};
  std::vector<int> nodes{4, 16, 64};
  int cores = 16;
  double recordBytes = 0;  // 0: the tree's mean
  // The three passes timed on 1 and 2 threads (0: not measured): with
  // them the whole run is predicted too, its passes a serial part and a
  // part shared out evenly.
  double passesNs[2] = {0, 0};
  // The ordered writer's time for one pattern (the search thread that
  // writes the output, pattern after pattern): the search on any number of
  // workers takes at least the set-up and then every pattern's turn.
  double writerNs = 100;
};

// The sequential search as it is, and the parallel engine on 1 and 2
// threads (each the median of its repetitions).
void reportMeasured(const TimedSearch& sequential, const TimedSearch& one, const TimedSearch& two,
                    int repetitions);

// The tree's size and limits, then one line per worker count and one per
// cluster size.
void reportPredictions(const CostTree& tree, const ReportOptions& options);

}  // namespace tavrel::scaling
