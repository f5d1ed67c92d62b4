// A buffered writer for the companion programs' output files and standard
// output. Bytes are collected and handed to the operating system in large
// pieces; a non-blocking descriptor that is full for now is waited for. A
// write that fails is remembered with its errno, later bytes are dropped,
// and the owner learns of it from sinkFlush().
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

namespace tavrel::tools {

struct OutputSink {
  int fd = -1;
  std::string pending;
  bool failed = false;
  int error = 0;  // errno of the first failed write
};

// Appends text; writes the pending bytes once they pass a threshold.
void sinkPut(OutputSink* sink, std::string_view text);
void sinkPutChar(OutputSink* sink, char c);
void sinkPutInt(OutputSink* sink, long long value);

// Writes every pending byte. Returns 0, or -1 when this or any earlier
// write to the sink has failed.
int sinkFlush(OutputSink* sink);

// Writes `content` into a new file under a temporary name beside `path`
// (with the permissions a plainly created file gets) and renames it to
// `path`. Whatever `path` was before, a symbolic link included, is
// replaced, never written through; a failed write leaves it untouched.
// Fails with "cannot write <path>: <reason>".
Result writeWholeFile(const std::string& path, std::string_view content);

}  // namespace tavrel::tools
