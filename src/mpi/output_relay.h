// Rank 0's standard output under mpirun, passed on through a pipe of its
// own by a thread that counts the bytes: mpirun forwards them and says
// nothing when its own write fails, so the count is what rank 0 can
// report (and check against where mpirun writes: see launcher.h).
#pragma once

#include <sys/types.h>

#include <atomic>

#include "base/small_thread.h"

namespace tavrel::mpi {

class OutputRelay {
 public:
  OutputRelay() = default;
  ~OutputRelay() { finish(); }
  OutputRelay(const OutputRelay&) = delete;
  OutputRelay& operator=(const OutputRelay&) = delete;

  // Starts passing on what is written into input() to `to`.
  // False when no pipe or thread could be had (nothing is passed on then).
  bool start(int to);
  // Where the output goes in: the write end of the relay's pipe.
  int input() const { return in_; }
  // Closes input(), waits until everything written into it has been passed
  // on (or a write failed) and returns the bytes passed on.
  long long finish();
  // True once a write to `to` failed; the relay then closes its pipe, so a
  // writer into input() fails too.
  bool failed() const { return failed_.load(); }

 private:
  // The thread: moves bytes from the pipe to `to_` until the pipe's end.
  void run();
  ssize_t moveSome(bool splicing, char* buffer);

  int in_ = -1;
  int out_ = -1;  // the pipe's read end
  int to_ = 1;
  std::atomic<long long> moved_{0};
  std::atomic<bool> failed_{false};
  bool started_ = false;
  SmallThread thread_;
};

}  // namespace tavrel::mpi
