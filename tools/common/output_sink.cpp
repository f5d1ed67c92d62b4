#include "common/output_sink.h"

#include <unistd.h>

#include <cerrno>

namespace tavrel::tools {

namespace {

constexpr std::size_t kFlushThreshold = 1 << 16;

void writePending(OutputSink* sink) {
  const char* data = sink->pending.data();
  std::size_t length = sink->pending.size();
  while (!sink->failed && length > 0) {
    ssize_t written = ::write(sink->fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
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
