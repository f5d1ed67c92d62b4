#include "show/capped_input.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace tavrel::tools {

CappedInput::~CappedInput() {
  // Ends a thread whose reader did not close (after an exception).
  if (thread_.joinable()) ::shutdown(sink_, SHUT_RDWR);
  finish();
}

Result CappedInput::open(const std::string& path, LineInput* reader) {
  Result opened = source_.openOrStandardInput(path);
  if (!opened.ok()) return opened;
  name_ = path == "-" ? std::string("standard input") : path;
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    Result failed = Result::failure("cannot read " + name_ + ": " + std::strerror(errno));
    source_.close();
    return failed;
  }
  reader->adopt(ends[0], true);
  sink_ = ends[1];
  thread_ = std::thread([this] { pass(); });
  return Result();
}

// Passes the input on until its end, a line that is too long, a failed
// read, or a reader that no longer reads.
void CappedInput::pass() {
  char buffer[1 << 16];
  std::size_t run = 0;  // bytes of the current line so far
  long line = 1;
  for (;;) {
    // Waits for input, or for the reader to close its end.
    pollfd waits[2] = {{source_.fd(), POLLIN, 0}, {sink_, POLLRDHUP, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if ((waits[1].revents & (POLLHUP | POLLERR | POLLRDHUP)) != 0) break;
    ssize_t got = ::read(source_.fd(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      fault_ = "cannot read " + name_ + ": " + std::strerror(errno);
      break;
    }
    if (got == 0) break;
    std::string_view piece(buffer, static_cast<std::size_t>(got));
    for (std::size_t at = 0, end; (end = piece.find('\n', at)) != std::string_view::npos;
         at = end + 1) {
      ++line;
      run = piece.size() - end - 1;
    }
    if (piece.find('\n') == std::string_view::npos) run += piece.size();
    if (run > kMaxOutputLine) {
      fault_ = name_ + ":" + std::to_string(line) + ": a line longer than " +
               std::to_string(kMaxOutputLine >> 20) + " MiB; is this the miner's output?";
      break;
    }
    bool sent = true;
    while (sent && !piece.empty()) {
      ssize_t put = ::send(sink_, piece.data(), piece.size(), MSG_NOSIGNAL);
      if (put < 0 && errno == EINTR) continue;
      sent = put > 0;
      if (sent) piece.remove_prefix(static_cast<std::size_t>(put));
    }
    if (!sent) break;  // the reader has stopped
  }
  ::shutdown(sink_, SHUT_WR);  // the reader's end of input
}

std::string CappedInput::finish() {
  if (thread_.joinable()) thread_.join();
  if (sink_ >= 0) ::close(sink_);
  sink_ = -1;
  source_.close();
  return fault_;
}

}  // namespace tavrel::tools
