#include "driver/text_sink.h"

#include "formats/miner_output.h"

namespace tavrel {

bool TextSink::begin(const RunInfo& info) {
  (void)info;
  out_.write(formats::kOpeningLine.data(), formats::kOpeningLine.size());
  return !out_.failed();
}

bool TextSink::take(const Pattern& pattern) {
  char* out = out_.reserve(formats::patternBlockBound(pattern.edges.size()));
  if (out == nullptr) {
    outOfMemory_ = true;
    return false;
  }
  ++written_;
  char* end = formats::writePatternBlock(out, static_cast<std::uint64_t>(written_), pattern);
  out_.commit(static_cast<std::size_t>(end - out));
  return !out_.failed();
}

}  // namespace tavrel
