#include "common/output_sink.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tavrel::tools {

namespace {

constexpr std::size_t kFlushThreshold = 1 << 16;

// Waits until a non-blocking `fd` that is full for now takes more bytes.
// Returns false when it never will.
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

void writePending(OutputSink* sink) {
  const char* data = sink->pending.data();
  std::size_t length = sink->pending.size();
  while (!sink->failed && length > 0) {
    ssize_t written = ::write(sink->fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilWritable(sink->fd)) continue;
      sink->failed = true;
      sink->error = errno;
    } else {
      data += written;
      length -= static_cast<std::size_t>(written);
    }
  }
  sink->pending.clear();
}

}  // namespace

void sinkPut(OutputSink* sink, std::string_view text) {
  if (sink->failed) return;
  sink->pending.append(text);
  if (sink->pending.size() >= kFlushThreshold) writePending(sink);
}

void sinkPutChar(OutputSink* sink, char c) { sinkPut(sink, std::string_view(&c, 1)); }

void sinkPutInt(OutputSink* sink, long long value) { sinkPut(sink, std::to_string(value)); }

int sinkFlush(OutputSink* sink) {
  writePending(sink);
  return sink->failed ? -1 : 0;
}

}  // namespace tavrel::tools
