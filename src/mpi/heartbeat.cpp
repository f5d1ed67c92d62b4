#include "mpi/heartbeat.h"

#include <mpi.h>

#include <chrono>
#include <vector>

#include "mpi/transport.h"
#include "mpi/wire.h"

namespace tavrel::mpi {

namespace {

const int kAliveMessage[1] = {kAlive};

}  // namespace

struct Heartbeat::Sends {
  std::vector<MPI_Request> requests;
};

Heartbeat::Heartbeat() : sends_(std::make_unique<Sends>()) {}

// A kAlive still on its way when the beat stops is left to MPI: the send
// buffer is static, and the process ends without ending MPI then.
Heartbeat::~Heartbeat() { stop(); }

bool Heartbeat::start(int ranks, double period) {
  if (running_ || ranks <= 1) return false;
  ranks_ = ranks;
  period_ = period;
  stopping_ = false;
  sends_->requests.assign(static_cast<std::size_t>(ranks), MPI_REQUEST_NULL);
  running_ = thread_.start([this] { beat(); });
  return running_;
}

void Heartbeat::stop() {
  if (!running_) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
  running_ = false;
}

bool Heartbeat::settle() {
  bool settled = true;
  for (int r = 1; r < ranks_; ++r) {
    MPI_Request& request = sends_->requests[r];
    if (request == MPI_REQUEST_NULL) continue;
    int done = 0;
    if (MPI_Test(&request, &done, MPI_STATUS_IGNORE) != MPI_SUCCESS || done == 0) settled = false;
  }
  return settled;
}

// A kAlive still on its way after a whole period goes to a rank that takes
// nothing: it gets no second one.
void Heartbeat::beat() {
  std::unique_lock<std::mutex> guard(lock_);
  auto period = std::chrono::duration<double>(period_);
  while (!stopping_) {
    for (int r = 1; r < ranks_; ++r) {
      MPI_Request& request = sends_->requests[r];
      int done = 1;
      if (request != MPI_REQUEST_NULL) MPI_Test(&request, &done, MPI_STATUS_IGNORE);
      if (done == 0) continue;
      MPI_Isend(kAliveMessage, 1, MPI_INT, r, kToWorker, MPI_COMM_WORLD, &request);
    }
    wake_.wait_for(guard, period, [this] { return stopping_; });
  }
  double deadline = secondsNow() + period_;
  while (!settle() && secondsNow() < deadline) {
    wake_.wait_for(guard, std::chrono::milliseconds(1));
  }
}

}  // namespace tavrel::mpi
