// Rank 0 of tavrel-mpi: the command line of Tavrel.exe, whose search is
// spread over every rank of the job.
#pragma once

#include <functional>

#include "driver/run.h"
#include "mpi/coordinator.h"

namespace tavrel::mpi {

struct RankZeroResult {
  int status = 0;
  bool broken = false;  // a rank or MPI failed: the job cannot end normally
  TransportStats stats;
};

// Runs `commandLine` (a run of the command line that mines with the
// function it is given) once, with the search spread over the job's ranks,
// which serve the run with serveRun(). Every rank is told the status to
// end with; a run stopped by a signal ends every rank by that signal
// (rank 0 as the command line does). A signal that stopped another rank is
// raised on rank 0, whose stop handlers must be in place then.
RankZeroResult runRankZero(const Session& session, const CoordinatorOptions& options,
                           const std::function<int(const MineFunction& mine)>& commandLine);

}  // namespace tavrel::mpi
