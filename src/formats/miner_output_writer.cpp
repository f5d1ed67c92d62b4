#include <cstdio>
#include <cstring>

#include "base/decimal_text.h"
#include "formats/miner_output.h"

namespace tavrel::formats {

char* writePatternBlock(char* out, std::uint64_t number, const Pattern& pattern) {
  return writePatternAfterNumber(writePatternNumber(out, number), pattern);
}

namespace {
constexpr std::size_t kNumberAt = kPatternStart.size();  // where "Pattern <n>" has its n
}  // namespace

char* writePatternNumber(char* out, std::uint64_t number) {
  std::memcpy(out, kPatternStart.data(), kNumberAt);
  return writeDecimal(out + kNumberAt, number);
}

PatternNumbers::PatternNumbers() {
  std::memcpy(text_, kPatternStart.data(), kNumberAt);
  text_[kNumberAt] = '0';
}

char* PatternNumbers::writeNext(char* out) {
  std::size_t at = length_;
  while (at > kNumberAt && text_[at - 1] == '9') text_[--at] = '0';
  if (at > kNumberAt) {
    ++text_[at - 1];
  } else {  // 9...9 turns into 10...0
    text_[kNumberAt] = '1';
    text_[length_++] = '0';
  }
  std::memcpy(out, text_, kRoom);
  return out + length_;
}

char* writePatternAfterNumber(char* out, const Pattern& pattern) {
  std::memcpy(out, kSupportStart.data(), kSupportStart.size());
  out = writeDecimal(out + kSupportStart.size(), static_cast<std::uint64_t>(pattern.support));
  std::memcpy(out, kHeaderEnd.data(), kHeaderEnd.size());
  out += kHeaderEnd.size();
  *out++ = '\n';
  for (const Edge& edge : pattern.edges) {
    out = writeDecimal(out, static_cast<std::uint64_t>(edge.before));
    *out++ = '-';
    out = writeDecimal(out, static_cast<std::uint64_t>(edge.after));
    *out++ = '\t';
  }
  *out++ = '\n';
  *out++ = '\n';
  return out;
}

std::string runtimeLine(long long milliseconds) {
  char seconds[64];
  int length =
      std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(milliseconds) / 1000.0);
  std::string line(kRuntimeStart);
  line.append(seconds, static_cast<std::size_t>(length > 0 ? length : 0));
  line.append(kRuntimeEnd);
  line.push_back('\n');
  return line;
}

std::string closingLines(long long milliseconds, std::int64_t patterns) {
  std::string lines = runtimeLine(milliseconds);
  lines.append(kCountStart);
  lines.append(std::to_string(patterns));
  lines.push_back('\n');
  lines.append(kStars);
  lines.push_back('\n');
  return lines;
}

std::string cappedLine(std::int64_t patterns) {
  std::string line(kCappedStart);
  line.append(std::to_string(patterns));
  line.append(kCappedEnd);
  line.push_back('\n');
  return line;
}

}  // namespace tavrel::formats
