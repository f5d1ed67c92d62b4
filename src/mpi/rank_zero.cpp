#include "mpi/rank_zero.h"

#include <csignal>
#include <string>

#include "engine/mine_with.h"
#include "output/signal_stop.h"
#include "output/write_fully.h"

namespace tavrel::mpi {

namespace {

// Seconds the ranks have to answer rank 0 once a signal stopped the run.
constexpr double kSignalledWait = 0.3;

}  // namespace

RankZeroResult runRankZero(const Session& session, const CoordinatorOptions& options,
                           const std::function<int(const MineFunction& mine)>& commandLine) {
  Coordinator coordinator(session, options);
  // The workers wait for rank 0 while it reads the input and writes the
  // output, however long that takes.
  coordinator.startHeartbeat();
  bool ended = false;
  SearchRunner search = [&](EdgeDatabase& database, int minSup, int threads, ClosedSetSink& sink,
                            const SearchConditions* conditions, const std::atomic<bool>* stop,
                            RunProgress* progress) {
    (void)progress;  // the patterns' count is kept by the run; the search's place is not known here
    SearchOutcome outcome = coordinator.run(database, minSup, threads, sink, conditions, stop);
    int signal = output::stopSignal();
    if (outcome == SearchOutcome::kStopped && (signal != 0 || coordinator.workerSignal() != 0)) {
      if (signal == 0) {
        signal = coordinator.workerSignal();
        std::raise(signal);  // recorded by the stop handlers: the run ends by it
      }
      // mpirun ends a job whose rank died with SIGTERM, and with SIGKILL a
      // second later: a rank that does not answer at once is the one
      // that died, and the run failed rather than being stopped.
      ended = true;
      if (!coordinator.endWorkers(128 + signal, signal, kSignalledWait)) {
        outcome = SearchOutcome::kFailed;
      }
    }
    if (outcome == SearchOutcome::kFailed) {
      std::string rank = "rank " + std::to_string(coordinator.failedRank());
      std::string note = "tavrel-mpi: " + rank + " stopped answering\n";
      if (!coordinator.problem().empty()) {
        if (coordinator.failedRank() < 0) rank = "a rank";
        note = "tavrel-mpi: " + rank +
               " sent a message that does not decode or fit the run: " + coordinator.problem() +
               "\n";
      } else if (coordinator.failedRank() < 0) {
        note = "tavrel-mpi: MPI failed\n";
      }
      output::writeFully(2, note.data(), note.size());
    }
    return outcome;
  };
  MineFunction mine = [&search](const StringSource& source, const MineOptions& mineOptions,
                                PatternSink& sink) {
    return mineWith(source, mineOptions, sink, search);
  };
  RankZeroResult result;
  result.status = commandLine(mine);
  if (!ended) coordinator.endWorkers(result.status, 0, options.silenceLimit);
  result.broken = coordinator.broken();
  result.stats = coordinator.stats();
  return result;
}

}  // namespace tavrel::mpi
