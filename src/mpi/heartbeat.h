// Rank 0's word to the other ranks that it is alive, sent from a thread of
// its own that does nothing else: a rank 0 whose main thread is busy for a
// long time (reading the input, opening the search, writing to a slow
// reader) is then not taken for a dead one by the ranks that wait for it.
// It needs MPI started with MPI_THREAD_MULTIPLE (see Session::threaded).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "base/small_thread.h"

namespace tavrel::mpi {

class Heartbeat {
 public:
  Heartbeat();
  ~Heartbeat();
  Heartbeat(const Heartbeat&) = delete;
  Heartbeat& operator=(const Heartbeat&) = delete;

  // Sends kAlive to every rank from 1 to ranks - 1 every `period` seconds
  // until stop(). False when no thread could be started (nothing beats then).
  bool start(int ranks, double period);
  // Stops the beat: no kAlive is sent once it returns. Waits at most
  // `period` seconds for the last ones to go; a rank that takes none (a
  // dead one) gets no further kAlive from the start.
  void stop();
  bool running() const { return running_; }

 private:
  // The thread's loop: one beat per period, until told to stop.
  void beat();
  // Lets go of the sends that have gone; true when none is left.
  bool settle();

  int ranks_ = 1;
  double period_ = 1;
  bool running_ = false;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  struct Sends;
  std::unique_ptr<Sends> sends_;  // per rank: the kAlive on its way, if any
  SmallThread thread_;
};

}  // namespace tavrel::mpi
