// Replays a cost tree on many workers, cutting the work up the way the
// parallel search does, and predicts how long the search would take.
//
// The model, on one machine (nodes = 1):
// - A piece of work is a range of one frame's candidates with the subtree
//   below each; the root's whole range is the first piece, taken when the
//   set-up (the root's own time) is done; counting the top frame's pair
//   table, a part of the set-up, is shared out evenly among a node's
//   workers. A worker takes its steps in
//   order: a kept step costs its own time and then opens a range over its
//   children; a run's steps cost the run's time spread evenly over them.
// - A worker checks between steps whether a piece is wanted. If it is and
//   the worker's piece has a range with at least two untaken candidates,
//   it gives the upper half of the untaken part of its shallowest such
//   range away: a new piece, queued after splitNs plus the time that
//   opening a cursor over that frame took in the recorded run. A piece is
//   wanted while workers idle outnumber the queue, and whenever a worker
//   takes the last queued piece (one piece is kept ready), as in the
//   engine.
// - An idle worker takes the queued piece earliest in search order, wakeNs
//   after it was queued; a worker that finishes its piece takes the next
//   at once.
// With nodes > 1 (a cluster of nodes x coresPerNode workers), each node
// cuts its work up as above, and a node whose workers have all run out
// asks another node, picked at random, for work: the request takes
// latencyNs. That node sends its queued piece that comes last in search
// order if it has one spare; else the next of its workers that can split
// gives the upper half of its shallowest range; if none can soon, the
// refusal takes latencyNs back and the asking node asks another. A piece
// takes latencyNs to arrive. The receiving node first redoes the steps
// from the top to that frame (their own times), since it does not hold the
// frame; every node makes the top frame during the set-up. Patterns found
// on nodes other than node 0 go to node 0 over one link of `bandwidth`
// bytes per second, recordBytes each, sent as they are found; the search
// ends when the last step is done and the last pattern has arrived.
// Not modelled: contention for memory and caches, the output's order
// (patterns waiting for earlier ones, pieces put aside under output
// pressure), and the extra work a range that begins mid-frame may do.
#pragma once

#include <cstdint>

#include "scaling/cost_tree.h"

namespace tavrel::scaling {

struct MachineModel {
  int nodes = 1;
  int coresPerNode = 1;
  double splitNs = 1000;   // giving a piece away, on top of opening its cursor
  double wakeNs = 5000;    // from a piece queued to an idle worker running it
  double latencyNs = 0;    // one message between two nodes (above 0 when nodes > 1)
  double bandwidth = 0;    // bytes per second into node 0; 0: no limit
  double recordBytes = 0;  // bytes of one pattern sent to node 0
  std::uint64_t seed = 1;  // picks the nodes asked for work
};

struct Prediction {
  double totalNs = 0;    // from the search's start until it is done
  double computeNs = 0;  // until the last step is done
  double idleNs = 0;     // workers' time without work after the set-up, summed
  long long splits = 0;  // pieces given away (to the same node or another)
  long long remotePieces = 0;
  long long refusals = 0;
  double remoteBytes = 0;  // patterns sent to node 0
  double rebuildNs = 0;    // steps redone by nodes that received a piece, summed
};

// Simulates the search of `tree` on the machine; deterministic.
Prediction simulate(const CostTree& tree, const MachineModel& machine);

}  // namespace tavrel::scaling
