#include "mpi/outbox.h"

#include <mpi.h>
#include <time.h>

#include "mpi/transport.h"

namespace tavrel::mpi {

struct Outbox::Sending {
  std::vector<int> message;
  MPI_Request request = MPI_REQUEST_NULL;
};

Outbox::Outbox() = default;

// Only a process that leaves after a failure drops messages still on
// their way: their buffers stay, since MPI may still read them.
Outbox::~Outbox() {
  for (auto& sending : sending_) static_cast<void>(sending.release());
}

bool Outbox::post(std::vector<int> message, int to, int tag) {
  auto sending = std::make_unique<Sending>();
  sending->message = std::move(message);
  bool posted = MPI_Isend(sending->message.data(), static_cast<int>(sending->message.size()),
                          MPI_INT, to, tag, MPI_COMM_WORLD, &sending->request) == MPI_SUCCESS;
  if (posted) {
    pendingBytes_ += sending->message.size() * sizeof(int);
    sending_.push_back(std::move(sending));
  }
  return posted && progress();
}

bool Outbox::progress() {
  while (!sending_.empty()) {
    int done = 0;
    if (MPI_Test(&sending_.front()->request, &done, MPI_STATUS_IGNORE) != MPI_SUCCESS) return false;
    if (done == 0) return true;
    pendingBytes_ -= sending_.front()->message.size() * sizeof(int);
    sending_.pop_front();
  }
  return true;
}

bool Outbox::drain(double waitLimit) {
  double deadline = secondsNow() + waitLimit;
  for (;;) {
    if (!progress()) return false;
    if (sending_.empty()) return true;
    if (secondsNow() > deadline) return false;
    struct timespec wait {
      0, 100000
    };
    nanosleep(&wait, nullptr);
  }
}

}  // namespace tavrel::mpi
