#include "driver/output_watch.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>

#include "output/write_fully.h"

namespace tavrel {

OutputWatch::OutputWatch(int out, int err, const OutputWatchLimits& limits)
    : err_(err), spaceFd_(-1), limits_(limits) {
  struct stat file {};
  if (out >= 0 && fstat(out, &file) == 0 && S_ISREG(file.st_mode)) spaceFd_ = out;
  start_ = std::chrono::steady_clock::now();
  nextLook_ = err_ < 0 ? UINT64_MAX : std::min(limits_.warnAfterBytes, limits_.spaceCheckEvery);
}

void OutputWatch::start() { start_ = std::chrono::steady_clock::now(); }

void OutputWatch::look(std::uint64_t bytes) {
  if (!sizeTold_ && bytes >= limits_.warnAfterBytes) {
    sizeTold_ = true;
    tell("the output has passed " + readableBytes(limits_.warnAfterBytes), bytes);
  }
  std::uint64_t freeBytes = 0;
  if (!spaceTold_ && spaceFd_ >= 0 && lowOnSpace(&freeBytes)) {
    spaceTold_ = true;
    tell("the file system that holds the output has " + readableBytes(freeBytes) +
             " free, less than " +
             std::to_string(static_cast<int>(limits_.warnBelowFreeShare * 100 + 0.5)) +
             "% of its space",
         bytes);
  }
  if (sizeTold_ && (spaceTold_ || spaceFd_ < 0)) {
    nextLook_ = UINT64_MAX;  // nothing more to say
  } else {
    nextLook_ = bytes + limits_.spaceCheckEvery;
    if (!sizeTold_) nextLook_ = std::min(nextLook_, limits_.warnAfterBytes);
  }
}

bool OutputWatch::lowOnSpace(std::uint64_t* freeBytes) const {
  struct statvfs space {};
  if (fstatvfs(spaceFd_, &space) != 0 || space.f_blocks == 0) return false;
  *freeBytes = static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize;
  return static_cast<double>(space.f_bavail) <
         limits_.warnBelowFreeShare * static_cast<double>(space.f_blocks);
}

void OutputWatch::tell(const std::string& what, std::uint64_t bytes) {
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  std::string text = warning(what, bytes, seconds);
  output::writeFully(err_, text.data(), text.size());
}

std::string OutputWatch::warning(const std::string& what, std::uint64_t bytes, double seconds) {
  std::string rate =
      seconds > 0
          ? readableBytes(static_cast<std::uint64_t>(static_cast<double>(bytes) / seconds)) + "/s"
          : "at once";
  return "Tavrel.exe: warning: " + what + ": " + readableBytes(bytes) + " written so far (" + rate +
         ").\n" +
         "Tavrel.exe: the output of a run grows steeply as min_sup falls. To see how many\n"
         "Tavrel.exe: patterns a min_sup gives, try --count-only; to keep only the K of\n"
         "Tavrel.exe: highest support, --top K; to keep only the first N, --max-patterns N;\n"
         "Tavrel.exe: or stop this run (Ctrl-C keeps what is written) and raise min_sup.\n";
}

std::string readableBytes(std::uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KB", "MB", "GB", "TB", "PB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1000 && unit < 5) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  if (unit == 0) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else {
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  }
  return text;
}

}  // namespace tavrel
