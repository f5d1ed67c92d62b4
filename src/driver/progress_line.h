// A progress line for long runs, on standard error: about once a second,
// the elapsed time, the patterns written, the patterns per second over
// the last second, and which of the search's top-level edges the output
// has reached.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "base/small_thread.h"
#include "tavrel/tavrel.h"

namespace tavrel {

class ProgressLine {
 public:
  // `onTerminal`: each update rewrites one line in place; otherwise every
  // update is a line of its own (for a log file).
  ProgressLine(int fd, const RunProgress& progress, bool onTerminal)
      : fd_(fd), progress_(progress), onTerminal_(onTerminal) {}
  ~ProgressLine() { stop(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Starts the updates; the first comes a second after the start. False
  // when no thread could be started (the run goes on without them).
  bool start();
  // Ends the updates. When any was shown, writes a last one and ends its
  // line, so that the terminal is left on a fresh line.
  void stop();

  // The text of one update (no line end), for the tests.
  static std::string text(double seconds, long long patterns, double perSecond, int topReached,
                          int topEdges);

 private:
  void loop();
  void show(bool last);

  int fd_;
  const RunProgress& progress_;
  bool onTerminal_;
  SmallThread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastAt_;
  long long lastPatterns_ = 0;
};

}  // namespace tavrel
