#include "common/output_sink.h"

#include <cerrno>

#include "base/write_fully.h"

namespace tavrel::tools {

namespace {

constexpr std::size_t kFlushThreshold = 1 << 16;

void writePending(OutputSink* sink) {
  if (!sink->failed && !sink->pending.empty() &&
      !writeFully(sink->fd, sink->pending.data(), sink->pending.size())) {
    sink->failed = true;
    sink->error = errno;
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
