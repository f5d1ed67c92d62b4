// Rank 0 of a search spread over several processes: it sends the database
// to the other ranks, hands out units of work (and has them split when a
// rank runs dry), searches units itself, and hands the patterns that come
// back to the sink in the order of the search on one process. What waits
// for the writer stays near options.waitingCap: past it no new unit is
// handed out but the one whose patterns come next, and the ranks searching
// later units are held (they keep their patterns) until the writer has
// caught up; the rank whose patterns come next is held too while half the
// cap of them waits (the writer is taking those, so it is soon released).
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "mpi/heartbeat.h"
#include "mpi/transport.h"
#include "mpi/unit_searcher.h"
#include "search/closed_search.h"

namespace tavrel::mpi {

struct CoordinatorOptions {
  double silenceLimit = 30;             // seconds without a word from a rank: it failed
  std::size_t waitingCap = 256u << 20;  // bytes of patterns that may wait for the writer
  bool splitAlways = false;  // every rank gives pieces away at every step it can (for tests)
  int blockInts = 16384;     // ints in a block of patterns (64 KB)
};

// One rank's share of the search, as rank 0 saw it.
struct RankShare {
  long long units = 0;         // units it searched (whole units and pieces)
  double busySeconds = 0;      // from each unit's handing out to its kDone
  long long patternBytes = 0;  // bytes of pattern records it sent
  long long peakKb = 0;        // the most memory it held (a worker's, as it said at the end)
};

// What the transport cost rank 0 (and the workers, from their kBye).
struct TransportStats {
  long long messages = 0;         // received by rank 0
  long long bytes = 0;            // received by rank 0
  double receiveSeconds = 0;      // rank 0 in MPI_Iprobe and MPI_Recv
  double workerSendSeconds = 0;   // all workers in MPI_Send
  double broadcastSeconds = 0;    // sending the database
  long long units = 0;            // units handed out
  long long pieces = 0;           // pieces given away
  long long holds = 0;            // times a rank was held
  double searchSeconds = 0;       // from the first unit to the last pattern written
  std::vector<RankShare> shares;  // by rank
};

class Coordinator {
 public:
  Coordinator(const Session& session, const CoordinatorOptions& options);

  // Searches the database (taking it over) with every rank and hands the
  // patterns to `sink` in order: kComplete, kStopped (by `stop`, the sink,
  // or a worker's signal: see workerSignal()), kOutOfMemory (on any rank),
  // or kFailed (a rank fell silent or MPI failed: see failedRank()). The
  // workers stop searching before it returns.
  SearchOutcome run(EdgeDatabase& database, int minSup, int threads, ClosedSetSink& sink,
                    const SearchConditions* conditions, const std::atomic<bool>* stop);

  // Tells the workers from now until endWorkers() that rank 0 is alive,
  // from a thread that does nothing else, when MPI lets any thread call it
  // (otherwise run() tells them between its other work).
  void startHeartbeat();

  // Ends the workers' part of the run: each ends with `status`, or by
  // `signal` when it is not 0. Waits for every live worker's last word, at
  // most `waitLimit` seconds of silence; false when one did not come (or
  // MPI failed): failedRank() tells which rank.
  bool endWorkers(int status, int signal, double waitLimit);

  // Acts on one message from rank `source` (whether from a worker or from
  // rank 0's own search); false when the run must end. A message that does
  // not decode, or does not fit the run (a unit its sender is not
  // searching, a piece that is not new), ends it as kFailed: see problem().
  bool handle(int source, std::vector<int>& message);

  int workerSignal() const { return workerSignal_; }
  int failedRank() const { return failedRank_; }
  // What went wrong with failedRank()'s messages; empty when it fell silent.
  const std::string& problem() const { return problem_; }
  // True once a rank failed or MPI did: the job cannot end normally.
  bool broken() const { return broken_; }
  const TransportStats& stats() const { return stats_; }

 private:
  struct UnitState {
    parallel::WorkUnit unit;
    int rank = -1;   // the rank searching it, -1 before it is handed out
    int giver = -1;  // the rank that gave it away (a piece), -1 for the first
    bool done = false;
    std::deque<std::vector<int>> blocks;  // kPatterns messages not yet written
    std::size_t bytes = 0;                // of `blocks`
    std::size_t at = 2;                   // the next record in the first block
  };
  struct RankState {
    int unit = -1;  // the unit being searched, -1 when idle
    bool asked = false;
    bool held = false;  // told to send no further block
    double heard = 0;
    bool bye = false;
    double since = 0;  // when its unit was handed out
  };

  // Takes the workers' and the local searcher's messages; false to end.
  bool receive(double now, bool* active);
  // What keeps a well-formed message from fitting the run; null when nothing does.
  const char* misfit(int source, const std::vector<int>& message) const;
  // Ends the run as failed because of rank `source`'s message: `what`.
  bool reject(int source, const char* what);
  // Hands patterns to the sink as far as they have come; false to end.
  bool write(bool* active);
  // Hands out pending units and asks busy ranks for pieces; false to end.
  bool schedule();
  bool assign(int rank, int id);
  // Holds the ranks whose patterns do not come next while too many wait,
  // and releases them; false to end.
  bool pace();
  void stopWorkers();

  Session session_;
  CoordinatorOptions options_;
  UnitSearcher searcher_;
  Heartbeat heartbeat_;
  ClosedSetSink* sink_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
  std::unordered_map<int, UnitState> units_;
  std::map<std::vector<int>, int> pending_;  // order key -> unit id
  std::vector<int> writing_;                 // units being written, the innermost last
  std::vector<RankState> ranks_;
  std::size_t waitingBytes_ = 0;
  SearchOutcome outcome_ = SearchOutcome::kComplete;
  int workerSignal_ = 0;
  int failedRank_ = -1;
  std::string problem_;
  int edgeCount_ = 0;
  bool broken_ = false;
  double lastPoll_ = 0;  // when receive() last ran
  bool searching_ = false;
  TransportStats stats_;
};

}  // namespace tavrel::mpi
