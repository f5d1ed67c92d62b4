#include "driver/text_sink.h"

#include <cstring>

#include "formats/miner_output.h"

namespace tavrel {

bool TextSink::begin(const RunInfo& info) {
  (void)info;
  out_.write(formats::kOpeningLine.data(), formats::kOpeningLine.size());
  bytes_ += formats::kOpeningLine.size();
  return !out_.failed();
}

bool TextSink::take(const Pattern& pattern) {
  char* out = out_.reserve(formats::patternBlockBound(pattern.edges.size()));
  if (out == nullptr) {
    outOfMemory_ = true;
    return false;
  }
  ++written_;
  char* end = formats::writePatternAfterNumber(numbers_.writeNext(out), pattern);
  out_.commit(static_cast<std::size_t>(end - out));
  bytes_ += static_cast<std::size_t>(end - out);
  return !out_.failed();
}

std::size_t TextSink::textBound(std::size_t edgeCount) const {
  return formats::patternBlockBound(edgeCount);
}

std::size_t TextSink::writeText(const Pattern& pattern, char* out) const {
  return static_cast<std::size_t>(formats::writePatternAfterNumber(out, pattern) - out);
}

bool TextSink::takeText(std::string_view text) {
  char* out = out_.reserve(formats::PatternNumbers::kRoom + text.size());
  if (out == nullptr) {
    outOfMemory_ = true;
    return false;
  }
  ++written_;
  char* end = numbers_.writeNext(out);
  std::memcpy(end, text.data(), text.size());
  out_.commit(static_cast<std::size_t>(end - out) + text.size());
  bytes_ += static_cast<std::size_t>(end - out) + text.size();
  return !out_.failed();
}

}  // namespace tavrel
