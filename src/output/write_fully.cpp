#include "output/write_fully.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tavrel::output {

namespace {

// Waits until `fd` takes more bytes. Returns false when it never will.
bool waitUntilWritable(int fd) {
  for (;;) {
    struct pollfd request {};
    request.fd = fd;
    request.events = POLLOUT;
    int ready = ::poll(&request, 1, -1);
    if (ready > 0) return (request.revents & (POLLERR | POLLNVAL)) == 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace

bool writeFully(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      // A descriptor in non-blocking mode (a pipe handed over that way) is
      // full for now, not broken: wait for the reader.
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilWritable(fd)) continue;
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace tavrel::output
