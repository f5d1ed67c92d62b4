#include "driver/progress_line.h"

#include <cstdio>

#include "output/write_fully.h"

namespace tavrel {

namespace {

// A count with its digits grouped in threes: 1,234,567.
std::string grouped(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string text;
  for (std::size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) text.push_back(',');
    text.push_back(digits[k]);
  }
  return value < 0 ? "-" + text : text;
}

// Elapsed time as 42s, 3m05s or 2h03m05s.
std::string elapsed(double seconds) {
  long long whole = static_cast<long long>(seconds);
  char text[48];
  if (whole < 60) {
    std::snprintf(text, sizeof text, "%llds", whole);
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lldm%02llds", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lldh%02lldm%02llds", whole / 3600, whole / 60 % 60,
                  whole % 60);
  }
  return text;
}

}  // namespace

std::string ProgressLine::text(double seconds, long long patterns, double perSecond, int topReached,
                               int topEdges) {
  return elapsed(seconds) + "  " + grouped(patterns) + " patterns  " +
         grouped(static_cast<long long>(perSecond + 0.5)) + "/s  top-level edge " +
         grouped(topReached) + " of " + grouped(topEdges);
}

bool ProgressLine::start() {
  start_ = lastAt_ = std::chrono::steady_clock::now();
  return thread_.start([this] { loop(); });
}

void ProgressLine::stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) return;
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
  if (shown_) show(true);
}

void ProgressLine::loop() {
  std::unique_lock<std::mutex> guard(lock_);
  while (!wake_.wait_for(guard, std::chrono::seconds(1), [this] { return stopping_; })) {
    show(false);
  }
}

void ProgressLine::show(bool last) {
  auto now = std::chrono::steady_clock::now();
  long long patterns = progress_.patterns.load(std::memory_order_relaxed);
  double interval = std::chrono::duration<double>(now - lastAt_).count();
  double perSecond = interval > 0 ? static_cast<double>(patterns - lastPatterns_) / interval : 0;
  lastAt_ = now;
  lastPatterns_ = patterns;
  std::string line = text(std::chrono::duration<double>(now - start_).count(), patterns, perSecond,
                          progress_.topEdgesReached.load(std::memory_order_relaxed),
                          progress_.topEdges.load(std::memory_order_relaxed));
  // On a terminal: back to the line's start, the update, the rest of the
  // line cleared; a new line only after the last.
  if (onTerminal_) line = "\r" + line + "\033[K";
  if (!onTerminal_ || last) line += "\n";
  output::writeFully(fd_, line.data(), line.size());
  shown_ = true;
}

}  // namespace tavrel
