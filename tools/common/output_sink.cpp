#include "common/output_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "output/write_fully.h"

namespace tavrel::tools {

namespace {

constexpr std::size_t kFlushThreshold = 1 << 16;

void writePending(OutputSink* sink) {
  if (!sink->failed && !sink->pending.empty() &&
      !output::writeFully(sink->fd, sink->pending.data(), sink->pending.size())) {
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

Result writeWholeFile(const std::string& path, std::string_view content) {
  std::string temporary = path + ".tmp-XXXXXX";
  int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  int failure = fd < 0 ? errno : 0;
  if (fd >= 0) {
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (!output::writeFully(fd, content.data(), content.size())) failure = errno;
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) ::unlink(temporary.c_str());
  }
  if (failure != 0) return Result::failure("cannot write " + path + ": " + std::strerror(failure));
  return Result();
}

}  // namespace tavrel::tools
