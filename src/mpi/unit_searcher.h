// One process's share of a search spread over several: it searches the
// units it is handed, one at a time, on threads of its own, and turns what
// it finds into messages for rank 0 (see wire.h). It makes no MPI calls:
// the process's main thread carries its messages.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "base/small_thread.h"
#include "parallel/parallel_search.h"
#include "search/search_frame.h"
#include "transactions/edge_database.h"

namespace tavrel::mpi {

class UnitSearcher : public parallel::WorkExchange {
 public:
  // Pieces given away get the ids rank, rank + ranks, rank + 2 * ranks ...
  // (after the first), so that ids made on different ranks never meet.
  UnitSearcher(int rank, int ranks) : rank_(rank), ranks_(ranks) {}
  ~UnitSearcher() override;
  UnitSearcher(const UnitSearcher&) = delete;
  UnitSearcher& operator=(const UnitSearcher&) = delete;

  // Takes the database over and makes the top frame that every unit starts
  // from; with `splitAlways`, units give pieces away at every step they
  // can. Patterns go out in blocks of about `blockInts` ints. False when
  // memory ran out.
  bool open(EdgeDatabase& database, int minSup, int threads, bool splitAlways, int blockInts,
            const SearchConditions* conditions);
  // The top frame's candidates: the range of the unit that is the whole search.
  int topCandidates() const { return top_.candidateCount(); }

  // Starts searching unit `id` (the last one must have ended: see
  // collect()). False when no thread could be started.
  bool start(int id, const parallel::WorkUnit& unit);
  // Asks the unit being searched to give a piece away (as kGiven).
  void askForPiece();
  // While held, no further block of patterns goes out: the search waits
  // once its block is full (and, with the engine's own bound, soon stops
  // finding more). A new unit starts released. The search waits the same
  // way while the blocks not yet collected pass a few blocks' bytes: what
  // waits here stays bounded when the caller cannot send for a while.
  void hold(bool held);
  // Ends the unit being searched soon; waits for its thread.
  void stop();
  // True while a unit is being searched.
  bool busy() const { return busy_.load(); }

  // Moves the messages ready to go into `out`, in the order they must be
  // sent (and lets a search waiting for room go on); with `flush`, the
  // patterns gathered so far go too.
  void collect(std::vector<std::vector<int>>& out, bool flush);
  // Returns once a message is ready to go (a block, a piece given away or
  // the unit's end), or after `seconds`: the caller sleeps while its unit
  // is searched instead of asking again and again.
  void awaitNews(double seconds);

 private:
  // The engine's calls, on its threads: they never throw. A lack of memory
  // stops the unit, which then ends as out of memory.
  int give(const parallel::WorkUnit& unit, bool asked) noexcept override;
  bool reached(int id) override;
  // Appends a record to the patterns of the unit; sends them on when they fill a block.
  void record(int support, int length, const int* edges) noexcept;
  // The unit's thread: searches it with the engine, then queues its end.
  void search(const parallel::WorkUnit& unit);
  // Queues the unit's last block and its kDone, as kOutOfMemory (and
  // without the blocks) when memory ran out anywhere; takes no memory then.
  void finishLocked(SearchOutcome outcome) noexcept;
  // Stops the unit, which ends as out of memory.
  void failForMemory() noexcept;
  void sendBlockLocked();

  class Sink;

  int rank_;
  int ranks_;
  int threads_ = 1;
  SearchShared shared_;
  SearchConditions conditions_;  // a copy: the caller's may go before the searches end
  FrameData top_;
  bool opened_ = false;
  int unitId_ = 0;
  int nextPiece_ = 1;
  std::atomic<bool> stop_{false};
  std::atomic<bool> outOfMemory_{false};
  std::atomic<bool> busy_{false};
  std::unique_ptr<SmallThread> thread_;

  std::mutex lock_;
  std::condition_variable released_;
  std::condition_variable news_;  // a message was queued in outgoing_
  bool held_ = false;
  std::size_t blockInts_ = 16384;
  std::vector<int> block_;  // kPatterns being filled
  std::vector<std::vector<int>> outgoing_;
  std::size_t outgoingBytes_ = 0;  // of the kPatterns blocks in outgoing_
  std::vector<int> done_;          // the unit's kDone, made before it starts
};

}  // namespace tavrel::mpi
