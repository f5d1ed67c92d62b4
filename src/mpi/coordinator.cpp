#include "mpi/coordinator.h"

#include <time.h>

#include <new>

#include "mpi/wire.h"
#include "parallel/pattern_records.h"

namespace tavrel::mpi {

namespace {

constexpr double kFlushSeconds = 0.005;  // patterns found locally wait at most this long
// Rank 0 tells every worker it is alive this often: a worker that hears
// nothing for its silence limit gives rank 0 up.
constexpr double kAliveSeconds = 1;

void pause(long nanoseconds) {
  struct timespec wait {
    0, nanoseconds
  };
  nanosleep(&wait, nullptr);
}

}  // namespace

Coordinator::Coordinator(const Session& session, const CoordinatorOptions& options)
    : session_(session), options_(options), searcher_(session.rank, session.ranks) {
  // endWorkers() may come without run(): after a run that failed earlier.
  ranks_.assign(static_cast<std::size_t>(session_.ranks), RankState{});
  stats_.shares.assign(static_cast<std::size_t>(session_.ranks), RankShare{});
}

SearchOutcome Coordinator::run(EdgeDatabase& database, int minSup, int threads, ClosedSetSink& sink,
                               const SearchConditions* conditions, const std::atomic<bool>* stop) {
  sink_ = &sink;
  stop_ = stop;
  edgeCount_ = database.edgeCount;
  ranks_.assign(static_cast<std::size_t>(session_.ranks), RankState{});
  stats_.shares.assign(static_cast<std::size_t>(session_.ranks), RankShare{});
  double begin = secondsNow();
  std::vector<int> header =
      databaseHeader(database, minSup, threads, options_.splitAlways, options_.blockInts);
  appendConditions(conditions, database.edgeCount, &header);
  for (int r = 1; r < session_.ranks; ++r) {
    if (!sendMessage(header, r, kToWorker)) {
      failedRank_ = r;
      broken_ = true;
      return SearchOutcome::kFailed;
    }
  }
  searching_ = true;
  if (session_.ranks > 1 && !broadcastDatabase(database)) {
    stopWorkers();
    return SearchOutcome::kOutOfMemory;
  }
  stats_.broadcastSeconds = secondsNow() - begin;
  if (!searcher_.open(database, minSup, threads, options_.splitAlways, options_.blockInts,
                      conditions)) {
    stopWorkers();
    return SearchOutcome::kOutOfMemory;
  }
  for (RankState& rank : ranks_) rank.heard = secondsNow();
  lastPoll_ = secondsNow();
  parallel::WorkUnit whole{{}, 0, searcher_.topCandidates()};
  units_[0].unit = whole;
  pending_[orderKey(whole)] = 0;
  writing_.push_back(0);
  double flushed = secondsNow();
  double told = flushed;
  double searchBegin = flushed;
  for (;;) {
    if (stop != nullptr && stop->load()) {
      outcome_ = SearchOutcome::kStopped;
      break;
    }
    bool active = false;
    double now = secondsNow();
    bool flush = now - flushed >= kFlushSeconds;
    if (flush) flushed = now;
    std::vector<std::vector<int>> local;
    searcher_.collect(local, flush);
    for (auto& message : local) {
      active = true;
      if (!handle(0, message)) break;
    }
    if (outcome_ != SearchOutcome::kComplete) break;
    if (!receive(now, &active) || !write(&active) || !schedule() || !pace()) break;
    if (writing_.empty()) break;  // every pattern is written
    if (!heartbeat_.running() && now - told >= kAliveSeconds) {
      told = now;
      for (int r = 1; r < session_.ranks; ++r) {
        if (!sendMessage({kAlive}, r, kToWorker)) {
          failedRank_ = r;
          outcome_ = SearchOutcome::kFailed;
          broken_ = true;
        }
      }
      if (outcome_ != SearchOutcome::kComplete) break;
    }
    if (!active) pause(100000);
  }
  stats_.searchSeconds = secondsNow() - searchBegin;
  stopWorkers();
  return outcome_;
}

bool Coordinator::receive(double now, bool* active) {
  // The time rank 0 spent elsewhere (writing, or waiting for one long
  // message) does not count as the others' silence.
  double away = now - lastPoll_;
  lastPoll_ = now;
  if (away > 0.5) {
    for (RankState& rank : ranks_) rank.heard += away;
  }
  for (int r = 1; r < session_.ranks; ++r) {
    if (now - ranks_[r].heard > options_.silenceLimit) {
      failedRank_ = r;
      outcome_ = SearchOutcome::kFailed;
      broken_ = true;
      return false;
    }
  }
  std::vector<int> message;
  for (int taken = 0; taken < 64; ++taken) {
    int source = -1;
    double before = secondsNow();
    int got = pollMessage(-1, kToCoordinator, options_.silenceLimit, &source, &message, stop_);
    stats_.receiveSeconds += secondsNow() - before;
    if (got == -2) {
      outcome_ = SearchOutcome::kStopped;
      return false;
    }
    if (got < 0) {
      failedRank_ = source;
      outcome_ = SearchOutcome::kFailed;
      broken_ = true;
      return false;
    }
    if (got == 0) return true;
    *active = true;
    ++stats_.messages;
    stats_.bytes += static_cast<long long>(message.size() * sizeof(int));
    ranks_[source].heard = secondsNow();
    if (!handle(source, message)) return false;
  }
  return true;
}

bool Coordinator::reject(int source, const char* what) {
  failedRank_ = source;
  problem_ = what;
  outcome_ = SearchOutcome::kFailed;
  return false;
}

const char* Coordinator::misfit(int source, const std::vector<int>& message) const {
  const RankState& rank = ranks_[source];
  switch (message[0]) {
    case kPatterns:
      if (message[1] != rank.unit) return "patterns of a unit its sender is not searching";
      for (std::size_t at = 2; at < message.size();
           at += 2 + static_cast<std::size_t>(message[at + 1])) {
        if (message[at] != 0) continue;
        auto piece = units_.find(message[at + 2]);
        if (piece == units_.end() || piece->second.giver != source) {
          return "the place of a piece its sender did not give away";
        }
      }
      return nullptr;
    case kGiven:
      if (rank.unit < 0) return "a piece given away by a rank that searches nothing";
      if (message[1] % session_.ranks != source || message[1] < session_.ranks ||
          units_.count(message[1]) != 0) {
        return "a piece given away under a number that is not new";
      }
      return nullptr;
    case kDone:
      if (message[1] != rank.unit &&
          !(message[1] == -1 && message[2] == static_cast<int>(SearchOutcome::kOutOfMemory))) {
        return "the end of a unit its sender is not searching";
      }
      return nullptr;
    default:
      return nullptr;
  }
}

bool Coordinator::handle(int source, std::vector<int>& message) {
  if (source < 0 || source >= session_.ranks) return reject(source, "a message from no rank");
  const char* flaw = flawToCoordinator(message, edgeCount_);
  if (flaw == nullptr) flaw = misfit(source, message);
  if (flaw != nullptr) return reject(source, flaw);
  RankState& rank = ranks_[source];
  switch (message[0]) {
    case kPatterns: {
      if (message.size() <= 2) return true;
      UnitState& unit = units_[message[1]];
      waitingBytes_ += message.size() * sizeof(int);
      unit.bytes += message.size() * sizeof(int);
      stats_.shares[source].patternBytes +=
          static_cast<long long>((message.size() - 2) * sizeof(int));
      unit.blocks.push_back(std::move(message));
      return true;
    }
    case kGiven: {
      int id = 0;
      parallel::WorkUnit piece;
      readUnit(message, &id, &piece);
      units_[id].unit = piece;
      units_[id].giver = source;
      pending_[orderKey(piece)] = id;
      ++stats_.pieces;
      rank.asked = false;
      return true;
    }
    case kDone: {
      if (message[1] >= 0) units_[message[1]].done = true;
      if (rank.unit >= 0) stats_.shares[source].busySeconds += secondsNow() - rank.since;
      rank.unit = -1;
      rank.asked = false;
      auto outcome = static_cast<SearchOutcome>(message[2]);
      if (outcome == SearchOutcome::kOutOfMemory || outcome == SearchOutcome::kNoThreads) {
        outcome_ = SearchOutcome::kOutOfMemory;
        return false;
      }
      return true;
    }
    case kSignal:
      workerSignal_ = message.size() > 1 ? message[1] : 0;
      outcome_ = SearchOutcome::kStopped;
      return false;
    case kBye:
      rank.bye = true;
      if (message.size() > 1) stats_.workerSendSeconds += message[1] / 1e6;
      if (message.size() > 2) stats_.shares[source].peakKb = message[2];
      return true;
    default:
      return true;
  }
}

bool Coordinator::write(bool* active) {
  while (!writing_.empty()) {
    auto found = units_.find(writing_.back());
    // A piece's kGiven comes before the block that marks its place, and
    // each place is marked once.
    if (found == units_.end()) return reject(-1, "a piece's place came twice");
    UnitState& unit = found->second;
    if (unit.blocks.empty()) {
      if (!unit.done) return true;
      units_.erase(found);
      writing_.pop_back();
      continue;
    }
    *active = true;
    std::vector<int>& block = unit.blocks.front();
    while (unit.at < block.size()) {
      const int* record = block.data() + unit.at;
      unit.at += parallel::patternRecordInts(record[1]);
      if (parallel::recordKind(record) == parallel::RecordKind::kPiece) {
        writing_.push_back(parallel::pieceOfMark(record));
        break;
      }
      if (!sink_->take(record + 2, record[1], record[0])) {
        outcome_ = SearchOutcome::kStopped;
        return false;
      }
    }
    if (unit.at >= block.size()) {
      waitingBytes_ -= block.size() * sizeof(int);
      unit.bytes -= block.size() * sizeof(int);
      unit.blocks.pop_front();
      unit.at = 2;
    }
  }
  return true;
}

bool Coordinator::schedule() {
  int idle = 0;
  for (int r = 0; r < session_.ranks; ++r) {
    if (ranks_[r].unit >= 0) continue;
    if (!pending_.empty()) {
      auto first = pending_.begin();
      bool needed = !writing_.empty() && writing_.back() == first->second;
      if (waitingBytes_ <= options_.waitingCap || needed) {
        int id = first->second;
        pending_.erase(first);
        if (!assign(r, id)) return false;
        continue;
      }
    }
    ++idle;
  }
  if (idle == 0 || !pending_.empty() || waitingBytes_ > options_.waitingCap) return true;
  // Ranks ran dry: the busy ranks with the earliest units give pieces away.
  for (; idle > 0; --idle) {
    int chosen = -1;
    for (int r = 0; r < session_.ranks; ++r) {
      const RankState& rank = ranks_[r];
      if (rank.unit < 0 || rank.asked) continue;
      if (chosen < 0 ||
          orderKey(units_[rank.unit].unit) < orderKey(units_[ranks_[chosen].unit].unit)) {
        chosen = r;
      }
    }
    if (chosen < 0) return true;
    ranks_[chosen].asked = true;
    if (chosen == 0) {
      searcher_.askForPiece();
    } else if (!sendMessage({kWant}, chosen, kToWorker)) {
      failedRank_ = chosen;
      outcome_ = SearchOutcome::kFailed;
      broken_ = true;
      return false;
    }
  }
  return true;
}

bool Coordinator::pace() {
  int next = writing_.empty() ? -1 : writing_.back();
  auto found = units_.find(next);
  // The unit whose patterns come next waits for a rank while every rank is
  // busy: holding them would wait forever.
  bool starving = found != units_.end() && found->second.rank < 0;
  for (int r = 0; r < session_.ranks; ++r) {
    RankState& rank = ranks_[r];
    if (rank.unit < 0) continue;
    std::size_t limit = rank.held ? options_.waitingCap / 2 : options_.waitingCap;
    // The next unit's own patterns are being written: holding its rank
    // while they pile up cannot wait forever.
    bool hold = rank.unit == next ? found != units_.end() && found->second.bytes > limit / 2
                                  : !starving && waitingBytes_ > limit;
    if (hold == rank.held) continue;
    rank.held = hold;
    stats_.holds += hold ? 1 : 0;
    if (r == 0) {
      searcher_.hold(hold);
    } else if (!sendMessage({hold ? kHold : kRelease}, r, kToWorker)) {
      failedRank_ = r;
      outcome_ = SearchOutcome::kFailed;
      broken_ = true;
      return false;
    }
  }
  return true;
}

bool Coordinator::assign(int rank, int id) {
  UnitState& unit = units_[id];
  unit.rank = rank;
  ranks_[rank].unit = id;
  ranks_[rank].held = false;
  ranks_[rank].since = secondsNow();
  ++stats_.units;
  ++stats_.shares[rank].units;
  if (rank == 0) {
    if (searcher_.start(id, unit.unit)) return true;
    outcome_ = SearchOutcome::kOutOfMemory;
    return false;
  }
  if (sendMessage(unitMessage(kUnit, id, unit.unit), rank, kToWorker)) return true;
  failedRank_ = rank;
  outcome_ = SearchOutcome::kFailed;
  broken_ = true;
  return false;
}

void Coordinator::stopWorkers() {
  searcher_.stop();
  if (!searching_) return;
  for (int r = 1; r < session_.ranks; ++r) {
    if (r != failedRank_) sendMessage({kStop}, r, kToWorker);
  }
}

void Coordinator::startHeartbeat() {
  if (session_.threaded) heartbeat_.start(session_.ranks, kAliveSeconds);
}

bool Coordinator::endWorkers(int status, int signal, double waitLimit) {
  heartbeat_.stop();  // no kAlive after kEnd
  if (session_.ranks <= 1) return true;
  double now = secondsNow();
  int waiting = 0;
  for (int r = 1; r < session_.ranks; ++r) {
    ranks_[r].bye = false;
    ranks_[r].heard = now;
    if (r == failedRank_) continue;
    // After a failure MPI cannot end normally (MPI_Finalize would wait for
    // the rank that is gone): the failing status tells the workers to leave
    // without it.
    if (!sendMessage({kEnd, broken_ ? 255 : status, signal}, r, kToWorker)) {
      if (failedRank_ < 0) failedRank_ = r;
      broken_ = true;
      continue;
    }
    ++waiting;
  }
  // Takes whatever the workers still send until each has said its last word.
  std::vector<int> message;
  while (waiting > 0) {
    int source = -1;
    int got = pollMessage(-1, kToCoordinator, waitLimit, &source, &message);
    if (got < 0) {
      if (failedRank_ < 0) failedRank_ = source;
      broken_ = true;
      return false;
    }
    if (got == 0) {
      if (secondsNow() - now > waitLimit) {
        for (int r = 1; r < session_.ranks && failedRank_ < 0; ++r) {
          if (!ranks_[r].bye) failedRank_ = r;
        }
        broken_ = true;
        return false;
      }
      pause(100000);
      continue;
    }
    if (!message.empty() && message[0] == kBye && !ranks_[source].bye) {
      handle(source, message);
      --waiting;
    }
  }
  return !broken_;
}

}  // namespace tavrel::mpi
