// The command line's form of the patterns: each one numbered as it is
// written, as a block of three lines.
#pragma once

#include <cstdint>

#include "formats/miner_output.h"
#include "output/block_writer.h"
#include "tavrel/tavrel.h"

namespace tavrel {

class TextSink : public PatternSink {
 public:
  explicit TextSink(output::BlockWriter& out) : out_(out) {}

  // Writes the line holding one blank that stands before the patterns.
  bool begin(const RunInfo& info) override;
  // Writes "Pattern <n> Support = <s>: ", the edge line ("<a>-<b>\t" per
  // edge) and an empty line. Asks the run to stop once the output failed.
  bool take(const Pattern& pattern) override;
  // On a run's threads: everything of a block after its number.
  std::size_t textBound(std::size_t edgeCount) const override;
  std::size_t writeText(const Pattern& pattern, char* out) const override;
  // In order: the number, then that text.
  bool takeText(std::string_view text) override;

  std::int64_t written() const { return written_; }
  // The bytes of output so far.
  std::uint64_t bytes() const { return bytes_; }
  // True when a pattern could not be written for lack of memory.
  bool outOfMemory() const { return outOfMemory_; }

 private:
  output::BlockWriter& out_;
  // Written for every pattern while other threads call writeText(): kept
  // off the cache line they read.
  alignas(64) std::int64_t written_ = 0;
  std::uint64_t bytes_ = 0;
  formats::PatternNumbers numbers_;  // the last pattern's number, as text
  bool outOfMemory_ = false;
};

}  // namespace tavrel
