#include "driver/text_sink.h"

#include <cstring>

#include "base/decimal_text.h"

namespace tavrel {

bool TextSink::begin(const RunInfo& info) {
  (void)info;
  out_.write(" \n", 2);
  return !out_.failed();
}

bool TextSink::take(const Pattern& pattern) {
  // 20 digits for the number, 11 for the support, 23 per edge at most.
  std::size_t most = 64 + 24 * pattern.edges.size();
  char* out = out_.reserve(most);
  if (out == nullptr) {
    outOfMemory_ = true;
    return false;
  }
  ++written_;
  char* start = out;
  std::memcpy(out, "Pattern ", 8);
  out = writeDecimal(out + 8, static_cast<std::uint64_t>(written_));
  std::memcpy(out, " Support = ", 11);
  out = writeDecimal(out + 11, static_cast<std::uint64_t>(pattern.support));
  std::memcpy(out, ": \n", 3);
  out += 3;
  for (const Edge& edge : pattern.edges) {
    out = writeDecimal(out, static_cast<std::uint64_t>(edge.before));
    *out++ = '-';
    out = writeDecimal(out, static_cast<std::uint64_t>(edge.after));
    *out++ = '\t';
  }
  *out++ = '\n';
  *out++ = '\n';
  out_.commit(static_cast<std::size_t>(out - start));
  return !out_.failed();
}

}  // namespace tavrel
