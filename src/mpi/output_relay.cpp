#include "mpi/output_relay.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>

namespace tavrel::mpi {

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

}  // namespace

bool OutputRelay::start(int to) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  out_ = ends[0];
  in_ = ends[1];
  to_ = to;
  started_ = thread_.start([this] { run(); });
  if (!started_) {
    close(in_);
    close(out_);
    in_ = out_ = -1;
  }
  return started_;
}

long long OutputRelay::finish() {
  if (!started_) return moved_.load();
  close(in_);
  in_ = -1;
  thread_.join();
  started_ = false;
  return moved_.load();
}

// Moves up to kChunk bytes from the pipe to `to`: with splice(), which
// moves them from pipe to pipe without copying, or (when `to` is not a
// pipe: mpirun hands its processes a terminal of its own) through
// `buffer`. Returns what read() would, or -2 once splice() proved useless.
ssize_t OutputRelay::moveSome(bool splicing, char* buffer) {
  if (splicing) {
    ssize_t moved = splice(out_, nullptr, to_, nullptr, kChunk, SPLICE_F_MOVE);
    return moved < 0 && errno == EINVAL ? -2 : moved;
  }
  ssize_t got = read(out_, buffer, kChunk);
  for (ssize_t at = 0; got > 0 && at < got;) {
    ssize_t wrote = write(to_, buffer + at, static_cast<std::size_t>(got - at));
    if (wrote < 0 && errno != EINTR) return -1;
    if (wrote > 0) at += wrote;
  }
  return got;
}

void OutputRelay::run() {
  bool splicing = true;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kChunk]);
  for (;;) {
    ssize_t moved = moveSome(splicing, buffer.get());
    if (moved == -2 && buffer != nullptr) {
      splicing = false;
      continue;
    }
    if (moved == 0) break;
    if (moved < 0 && errno == EAGAIN) {  // `to` does not block: wait until it takes more
      struct pollfd room {
        to_, POLLOUT, 0
      };
      poll(&room, 1, 100);
      continue;
    }
    if (moved < 0) {
      if (errno == EINTR) continue;
      failed_.store(true);
      break;
    }
    moved_.fetch_add(moved);
  }
  close(out_);
  out_ = -1;
}

}  // namespace tavrel::mpi
