// The command line's output on a long run: written in blocks, yet a reader
// of a pipe sees each pattern promptly; a run stopped by SIGTERM or SIGINT
// has written every complete pattern and ends with the signal; a run
// stopped by --max-patterns ends normally.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "hardening/child_run.h"

namespace tavrel::testing {
namespace {

// 400 strings of all 120 items, each sorted by rank plus Gaussian noise:
// patterns by the million, found one after the other for many seconds.
std::string longRunDatabase(const ScratchDir& dir) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 12.0);
  std::string db;
  for (int s = 0; s < 400; ++s) {
    std::vector<std::pair<double, int>> keyed;
    for (int item = 0; item < 120; ++item) keyed.emplace_back(item + noise(random), item);
    std::sort(keyed.begin(), keyed.end());
    db += "120";
    for (const auto& entry : keyed) db += " " + std::to_string(entry.second);
    db += "\n";
  }
  return dir.writeDatabase(db, 120, 120, 400);
}

// Reads what is in the pipe into `out`, waiting at most `wait`; false at
// the end of the output.
bool readSome(int fd, std::string& out, std::chrono::milliseconds wait) {
  struct pollfd request {};
  request.fd = fd;
  request.events = POLLIN;
  if (::poll(&request, 1, static_cast<int>(wait.count())) <= 0) return true;
  char chunk[1 << 16];
  ssize_t got = ::read(fd, chunk, sizeof chunk);
  if (got <= 0) return false;
  out.append(chunk, static_cast<std::size_t>(got));
  return true;
}

// True when `out` is the start of a run cut after a complete pattern: the
// blank line, then whole blocks numbered 1, 2, 3 ..., and nothing else.
bool endsAfterACompletePattern(const std::string& out, int* patterns) {
  if (out.rfind(" \n", 0) != 0 || out.size() < 4 || out.compare(out.size() - 2, 2, "\n\n") != 0) {
    return false;
  }
  *patterns = 0;
  for (std::size_t at = out.find("Pattern "); at != std::string::npos;
       at = out.find("Pattern ", at + 1)) {
    std::string expected = "Pattern " + std::to_string(++*patterns) + " ";
    if (out.compare(at, expected.size(), expected) != 0) return false;
  }
  return out.find("Total Runtime") == std::string::npos;
}

TEST(StreamingTest, PatternsArrivePromptlyAndAStopSignalLosesNone) {
  ScratchDir dir;
  std::string spec = longRunDatabase(dir);
  for (int stopSignal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(stopSignal);
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    auto start = std::chrono::steady_clock::now();
    Child child({{spec, "360"}, TAVREL_EXE, pipeEnds[1]});
    ::close(pipeEnds[1]);
    std::string out;
    while (out.find("Pattern 1 ") == std::string::npos && !child.ended()) {
      ASSERT_TRUE(readSome(pipeEnds[0], out, std::chrono::milliseconds(50)));
    }
    // Far less than a block of output exists by then: the first pattern
    // came because no complete line waits long.
    auto firstPattern = std::chrono::steady_clock::now() - start;
    EXPECT_LT(firstPattern, std::chrono::seconds(kSanitizedBuild ? 15 : 2));
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) {
      ASSERT_TRUE(readSome(pipeEnds[0], out, std::chrono::milliseconds(50)));
    }
    ASSERT_FALSE(child.ended()) << "the run was meant to last longer";
    ::kill(child.pid(), stopSignal);
    while (readSome(pipeEnds[0], out, std::chrono::seconds(10))) {
    }
    ::close(pipeEnds[0]);
    ChildResult result = child.finish();
    EXPECT_EQ(result.signal, stopSignal);
    int patterns = 0;
    EXPECT_TRUE(endsAfterACompletePattern(out, &patterns)) << out.substr(out.size() - 200);
    EXPECT_GT(patterns, 10);
  }
}

TEST(StreamingTest, MaxPatternsEndsTheRunWithItsClosingLines) {
  ScratchDir dir;
  std::string spec = longRunDatabase(dir);
  RunResult limited = runChild({"--max-patterns", "25", spec, "360"});
  EXPECT_EQ(limited.status, 0);
  int patterns = 0;
  // The closing lines of a complete run, then the line that says the
  // output was capped.
  std::string closing =
      "Total Number of patterns: 25\n***********************************************\n"
      "Stopped after 25 patterns, the limit set by --max-patterns\n";
  ASSERT_GT(limited.out.size(), closing.size());
  EXPECT_EQ(limited.out.substr(limited.out.size() - closing.size()), closing);
  std::string blocks = limited.out.substr(0, limited.out.find("Total Runtime"));
  EXPECT_TRUE(endsAfterACompletePattern(blocks, &patterns));
  EXPECT_EQ(patterns, 25);
  EXPECT_EQ(limited.err,
            "Tavrel.exe: stopped after 25 patterns, the limit set by --max-patterns\n");
  // Written line by line, the same bytes.
  RunResult flushed = runChild({"--line-flush", "--max-patterns", "25", spec, "360"});
  EXPECT_EQ(normalizeRuntime(flushed.out), normalizeRuntime(limited.out));
}

}  // namespace
}  // namespace tavrel::testing
