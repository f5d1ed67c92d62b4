// Messages from one rank that go out without waiting for the receiver to
// take them: a large message is only copied once the receiver matches it,
// and a sender that waited for that in MPI_Send would spin on a core the
// search needs. Each message is kept until MPI is done with it; messages
// to one rank and tag arrive in the order posted.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace tavrel::mpi {

class Outbox {
 public:
  Outbox();
  ~Outbox();
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  // Starts sending `message` to rank `to` with `tag`, taking it over.
  // False when MPI failed.
  bool post(std::vector<int> message, int to, int tag);
  // Lets go of the messages MPI is done with, without waiting. False when
  // MPI failed.
  bool progress();
  // Waits until every message has gone, at most `waitLimit` seconds;
  // false when MPI failed or they did not go in time.
  bool drain(double waitLimit);
  // Bytes of the messages not yet gone.
  std::size_t pendingBytes() const { return pendingBytes_; }

 private:
  struct Sending;
  std::deque<std::unique_ptr<Sending>> sending_;
  std::size_t pendingBytes_ = 0;
};

}  // namespace tavrel::mpi
