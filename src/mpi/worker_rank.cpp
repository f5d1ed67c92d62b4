#include "mpi/worker_rank.h"

#include <time.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "mpi/outbox.h"
#include "mpi/unit_searcher.h"
#include "mpi/wire.h"
#include "output/signal_stop.h"

namespace tavrel::mpi {

namespace {

constexpr double kFlushSeconds = 0.005;  // patterns found wait at most this long
constexpr double kAliveSeconds = 1;      // a worker says it is alive this often
// While its unit is searched, a worker with nothing to do looks for
// messages from rank 0 this often (it wakes at once for its own): polling
// MPI faster takes a good part of a core from the search.
constexpr double kBusyWaitSeconds = 0.001;
constexpr int kFailed = 255;  // the status when rank 0 is gone
// Bytes of messages on their way to rank 0 past which no further ones are
// taken from the search (which then keeps its blocks).
constexpr std::size_t kOutboxCap = std::size_t{8} << 20;

class Worker {
 public:
  Worker(const Session& session, const WorkerOptions& options)
      : session_(session), options_(options), searcher_(session.rank, session.ranks) {}

  int serve();

 private:
  // Starts sending one message to rank 0, counting the time it took.
  bool send(std::vector<int> message) {
    double before = secondsNow();
    bool sent = outbox_.post(std::move(message), 0, kToCoordinator);
    double after = secondsNow();
    sendSeconds_ += after - before;
    said_ = after;
    return sent;
  }
  // Lets the messages on their way go on; false when MPI failed.
  bool progress() {
    double before = secondsNow();
    bool fine = outbox_.progress();
    sendSeconds_ += secondsNow() - before;
    return fine;
  }
  // Acts on a message from rank 0. Returns false once the run is over.
  bool handle(const std::vector<int>& message);
  void quit() {
    if (ended_) return;
    searcher_.stop();
    std::vector<std::vector<int>> dropped;
    searcher_.collect(dropped, true);
    long long peak = peakMemoryKb();
    send({kBye, static_cast<int>(sendSeconds_ * 1e6), static_cast<int>(std::min(peak, 1LL << 30))});
    ended_ = true;
  }

  Session session_;
  WorkerOptions options_;
  UnitSearcher searcher_;
  Outbox outbox_;
  double sendSeconds_ = 0;
  double said_ = 0;
  bool ended_ = false;
  bool signalled_ = false;
  int status_ = kFailed;
  int endSignal_ = 0;
};

bool Worker::handle(const std::vector<int>& message) {
  if (flawToWorker(message) != nullptr) {
    // Rank 0 ends the run when it hears of it.
    send({kGarbled, message.empty() ? 0 : message[0]});
    return true;
  }
  switch (message[0]) {
    case kDatabase: {
      EdgeDatabase database;
      SearchConditions conditions;
      bool received = readConditions(message, &conditions) && receiveDatabase(message, &database);
      sendSeconds_ = 0;  // what came before waited for rank 0 to read the database
      if (received && !searcher_.open(database, message[3], message[4], message[8] != 0, message[9],
                                      &conditions))
        received = false;
      if (!received) send({kDone, -1, static_cast<int>(SearchOutcome::kOutOfMemory)});
      return true;
    }
    case kUnit: {
      int id = 0;
      parallel::WorkUnit unit;
      if (ended_) return true;
      readUnit(message, &id, &unit);
      if (!searcher_.start(id, unit))
        send({kDone, id, static_cast<int>(SearchOutcome::kNoThreads)});
      return true;
    }
    case kWant:
      searcher_.askForPiece();
      return true;
    case kHold:
    case kRelease:
      searcher_.hold(message[0] == kHold);
      return true;
    case kStop:
      quit();
      return true;
    case kEnd:
      quit();
      status_ = message[1];
      endSignal_ = message[2];
      return false;
    default:
      return true;
  }
}

int Worker::serve() {
  double heard = secondsNow();
  double flushed = heard;
  said_ = heard;
  std::vector<int> message;
  std::vector<std::vector<int>> outgoing;
  for (;;) {
    bool active = false;
    int source = 0;
    int got = pollMessage(0, kToWorker, options_.silenceLimit, &source, &message);
    double now = secondsNow();
    if (got < 0 || now - heard > options_.silenceLimit || !progress()) return kFailed;
    if (got > 0) {
      active = true;
      heard = now;
      if (!handle(message)) break;
    }
    if (!ended_) {
      if (!signalled_ && output::stopRequested()) {
        signalled_ = true;
        searcher_.stop();
        if (!send({kSignal, output::stopSignal()})) return kFailed;
      }
      bool flush = now - flushed >= kFlushSeconds;
      if (flush) flushed = now;
      outgoing.clear();
      if (outbox_.pendingBytes() <= kOutboxCap) searcher_.collect(outgoing, flush);
      for (auto& piece : outgoing) {
        active = true;
        if (!send(std::move(piece))) return kFailed;
      }
      if (now - said_ >= kAliveSeconds && !send({kAlive})) return kFailed;
    }
    if (!active && !ended_ && searcher_.busy() && outbox_.pendingBytes() == 0) {
      searcher_.awaitNews(kBusyWaitSeconds);
    } else if (!active) {
      struct timespec wait {
        0, 100000
      };
      nanosleep(&wait, nullptr);
    }
  }
  // MPI must be done with every message before the process ends.
  if (!outbox_.drain(options_.silenceLimit)) return kFailed;
  if (endSignal_ != 0) {
    output::restoreStopHandlers();
    output::endProcessBySignal(endSignal_);
  }
  return status_;
}

}  // namespace

int serveRun(const Session& session, const WorkerOptions& options) {
  try {
    Worker worker(session, options);
    return worker.serve();
  } catch (const std::bad_alloc&) {
    return kFailed;
  }
}

}  // namespace tavrel::mpi
