// Warnings for a person before a run's output fills the disk: a run whose
// min_sup lies on the wrong side of a cliff can write gigabytes a minute.
// The watch is told how many bytes the output has taken so far and says,
// on standard error, once each:
//   - when the output passes a size (1 GB by default);
//   - when the file system that holds a regular-file output has less than a
//     share (5 % by default) of its space free;
// what was written, at what rate, and the ways out.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace tavrel {

struct OutputWatchLimits {
  std::uint64_t warnAfterBytes = 1'000'000'000;
  double warnBelowFreeShare = 0.05;
  // How often the free space is looked at, in bytes of output.
  std::uint64_t spaceCheckEvery = std::uint64_t{64} << 20;
};

class OutputWatch {
 public:
  // `out`: the output's descriptor (its file system is watched when it is a
  // regular file); `err`: where the warnings go (negative: nowhere).
  OutputWatch(int out, int err, const OutputWatchLimits& limits);

  // Starts the clock that the rate is measured from.
  void start();

  // Takes the output's size so far; warns when a limit is crossed. Cheap
  // when nothing is due: one comparison.
  void note(std::uint64_t bytes) {
    if (bytes >= nextLook_) look(bytes);
  }

  // The text of a warning, for the tests: `what` says what was crossed.
  static std::string warning(const std::string& what, std::uint64_t bytes, double seconds);

 private:
  void look(std::uint64_t bytes);
  bool lowOnSpace(std::uint64_t* freeBytes) const;
  void tell(const std::string& what, std::uint64_t bytes);

  int err_;
  int spaceFd_;  // the output when it is a regular file, else -1
  OutputWatchLimits limits_;
  std::chrono::steady_clock::time_point start_;
  std::uint64_t nextLook_ = 0;
  bool sizeTold_ = false;
  bool spaceTold_ = false;
};

// "1.5 GB", "640 MB", "12 KB": a byte count as a person reads it.
std::string readableBytes(std::uint64_t bytes);

}  // namespace tavrel
