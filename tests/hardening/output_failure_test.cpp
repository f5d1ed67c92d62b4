// Output that cannot be written: every kind of run must then end with exit
// status 255 and the one line "Error: cannot write output" on standard
// error, and the search must stop at the pattern whose write failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/run.h"
#include "formats/string_database.h"
#include "hardening/child_run.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

const char kCannotWrite[] = "Error: cannot write output\n";

std::string clicksDatabase() { return readFile(TAVREL_SOURCE_DIR "/examples/clicks.db"); }

// The runs whose output is tried against each broken sink: complete runs
// with and without patterns, and each kind of error message.
std::vector<std::vector<std::string>> runsThatWrite(const ScratchDir& dir) {
  std::string clicks = dir.writeDatabase(clicksDatabase(), 10, 8, 24);
  std::string defective =
      dir.write("bad.spec", dir.write("bad.db", "2 0 1\n2 1 1\n") + "\n5\n5\n5\n");
  std::string missing = dir.write("missing.spec", dir.path() + "/none.db\n5\n5\n5\n");
  std::string wrongValues = dir.write("wrong.spec", "x\n0\n5\n5\n");
  return {{clicks, "2"},    {clicks, "1000"}, {clicks},
          {defective, "1"}, {missing, "1"},   {wrongValues, "1"}};
}

TEST(OutputFailureTest, UnwritableOutputEndsEveryRunWith255AndOneMessage) {
  ScratchDir dir;
  int devFull = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(devFull, 0);
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  ::close(pipeEnds[0]);  // a pipe nobody reads
  for (const auto& args : runsThatWrite(dir)) {
    SCOPED_TRACE(::testing::PrintToString(args));
    // A usage error says why before it fails to write the usage line.
    std::string err =
        std::string(args.size() == 1 ? "Tavrel.exe: expected min_sup\n" : "") + kCannotWrite;
    ChildResult full = runChildProcess({args, TAVREL_EXE, devFull});
    EXPECT_EQ(full.exitStatus, 255);
    EXPECT_EQ(full.err, err);
    ChildResult closed = runChildProcess({args, TAVREL_EXE, -1});
    EXPECT_EQ(closed.exitStatus, 255);
    EXPECT_EQ(closed.err, err);
    ChildResult broken = runChildProcess({args, TAVREL_EXE, pipeEnds[1], true});
    EXPECT_EQ(broken.exitStatus, 255);
    EXPECT_EQ(broken.err, err);
  }
  ::close(pipeEnds[1]);
  ::close(devFull);
}

TEST(OutputFailureTest, AReaderThatStopsEndsTheRunBySigpipe) {
  // As under `Tavrel.exe ... | head`: the default action of SIGPIPE.
  ScratchDir dir;
  std::string spec = dir.writeDatabase(clicksDatabase(), 10, 8, 24);
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  ::close(pipeEnds[0]);
  ChildResult result = runChildProcess({{spec, "2"}, TAVREL_EXE, pipeEnds[1]});
  ::close(pipeEnds[1]);
  EXPECT_EQ(result.signal, SIGPIPE);
  EXPECT_EQ(result.err, "");
}

struct LimitedRun {
  int status = 0;
  std::string out;
  std::string err;
};

// Runs the miner in a forked copy of this process with its output going to
// a file that may not grow beyond `limit` bytes: the write that would pass
// the limit writes what fits and then fails (EFBIG), as on a full disk.
LimitedRun runWithFileSizeLimit(const std::vector<std::string>& args, long long limit) {
  ScratchDir dir;
  std::string outPath = dir.path() + "/out";
  int report[2];
  int errPipe[2];  // not a file: the limit would apply to it as well
  if (::pipe(report) != 0 || ::pipe(errPipe) != 0) return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || ::dup2(errPipe[1], 2) < 0) _exit(120);
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit fileSize {};
    fileSize.rlim_cur = static_cast<rlim_t>(limit);
    fileSize.rlim_max = RLIM_INFINITY;
    if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(121);
    std::vector<const char*> argv{"Tavrel.exe", "--line-flush"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    int result =
        runCommandLine(static_cast<int>(argv.size()) - 1, argv.data(), CommandLineStreams{out, 2});
    if (::write(report[1], &result, sizeof result) != sizeof result) _exit(122);
    _exit(0);
  }
  ::close(report[1]);
  ::close(errPipe[1]);
  int result = 1;
  bool got = ::read(report[0], &result, sizeof result) == sizeof result;
  ::close(report[0]);
  std::string err;
  char chunk[256];
  for (ssize_t n; (n = ::read(errPipe[0], chunk, sizeof chunk)) > 0;)
    err.append(chunk, static_cast<std::size_t>(n));
  ::close(errPipe[0]);
  int waitStatus = 0;
  ::waitpid(pid, &waitStatus, 0);
  EXPECT_TRUE(got && WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0);
  return {result, readFile(outPath), err};
}

// `full` with its runtime figure replaced by the one `run` wrote, so that
// the two can be compared byte for byte.
std::string withRuntimeOf(const std::string& full, const std::string& run) {
  const std::string label = "Total Runtime: ";
  std::size_t at = full.find(label);
  if (at == std::string::npos || run.compare(0, at + label.size(), full, 0, at + label.size()) != 0)
    return full;
  std::size_t figure = at + label.size();
  std::size_t fullEnd = full.find(' ', figure);
  std::size_t runEnd = std::min(run.find(' ', figure), run.size());
  return full.substr(0, figure) + run.substr(figure, runEnd - figure) + full.substr(fullEnd);
}

TEST(OutputFailureTest, AWriteFailingMidwayStopsTheRunAtOnce) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase(clicksDatabase(), 10, 8, 24);
  RunResult complete = runInProcess({spec, "2"});
  ASSERT_EQ(complete.status, 0);
  const std::string& full = complete.out;
  ASSERT_NE(full.find("Total Number of patterns: 65\n"), std::string::npos);

  // Where the output is cut (each line written at once, with --line-flush).
  struct Cut {
    std::size_t at;
    int patterns;  // the patterns complete before the cut
  };
  std::size_t pattern3 = full.find("Pattern 3 ");
  std::size_t pattern41 = full.find("Pattern 41 ");
  std::size_t pattern42 = full.find("Pattern 42 ");
  std::size_t runtime = full.find("Total Runtime");
  ASSERT_NE(runtime, std::string::npos);
  std::size_t header41End = full.find('\n', pattern41) + 1;
  // The last cuts fall on the summary lines. The runtime figure before them
  // differs in length from run to run, so they are placed as if it were the
  // shortest, "0": then they fall on the line meant, or a few bytes before
  // it in a run whose figure is longer. withRuntimeOf() makes the
  // comparison exact.
  std::size_t shortest = withRuntimeOf(full, full.substr(0, runtime) + "Total Runtime: 0 ").size();
  for (Cut cut : {Cut{0, 0},                 // the first line, before the search
                  Cut{1, 0},                 // its line end
                  Cut{pattern3 + 4, 3},      // inside a pattern's first line
                  Cut{header41End, 41},      // between a block's first two lines
                  Cut{pattern42 - 3, 41},    // inside the edge line before the next block
                  Cut{pattern42 - 1, 41},    // the empty line ending a block
                  Cut{runtime + 2, 65},      // the runtime line
                  Cut{shortest - 60, 65},    // the pattern count
                  Cut{shortest - 2, 65}}) {  // the last line
    SCOPED_TRACE("output cut at byte " + std::to_string(cut.at));
    LimitedRun run = runWithFileSizeLimit({spec, "2"}, static_cast<long long>(cut.at));
    EXPECT_EQ(run.status, -1);
    EXPECT_EQ(run.err, kCannotWrite);
    EXPECT_EQ(run.out, withRuntimeOf(full, run.out).substr(0, cut.at));
  }
}

TEST(OutputFailureTest, OutputDroppedOnPurposeIsNoFailure) {
  // A negative descriptor drops the output (the benchmarks time the search
  // without writing); long lines too.
  ScratchDir defectiveDir;
  ScratchDir clicksDir;
  std::string longLine = "3 0 1 1" + std::string(100000, ' ') + "\n";
  std::string defective = defectiveDir.writeDatabase(longLine, 5, 5, 5);
  std::string clicks = clicksDir.writeDatabase(clicksDatabase(), 10, 8, 24);
  for (const auto& [spec, status] : {std::pair{defective, -1}, std::pair{clicks, 0}}) {
    const char* argv[] = {"Tavrel.exe", spec.c_str(), "2", nullptr};
    EXPECT_EQ(runCommandLine(3, argv, CommandLineStreams{-1, -1}), status);
  }
}

// A database with a few thousand closed patterns.
std::string manyPatternsDatabase() {
  std::string db;
  unsigned state = 12345;
  for (int s = 0; s < 14; ++s) {
    std::vector<int> items;
    for (int item = 0; item < 12; ++item) {
      state = state * 1103515245u + 12345u;
      if ((state >> 16) % 3 != 0) items.push_back(item);
    }
    for (std::size_t k = items.size(); k > 1; --k) {
      state = state * 1103515245u + 12345u;
      std::swap(items[k - 1], items[(state >> 16) % k]);
    }
    db += formats::stringLine(items);
  }
  return db;
}

// True when the process is asleep (state S in /proc/PID/stat).
bool asleep(pid_t pid) {
  std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  std::size_t end = stat.rfind(')');
  return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] == 'S';
}

TEST(OutputFailureTest, ANonBlockingPipeIsWaitedForNotGivenUp) {
  // Some callers hand over a pipe in non-blocking mode. A full pipe is not
  // a failed write: the miner must wait for the reader, who here starts to
  // read only once the miner has filled the pipe and sleeps (the only thing
  // it can sleep on, its input being a file read moments ago) or has ended.
  ScratchDir dir;
  std::string spec = dir.writeDatabase(manyPatternsDatabase(), 12, 12, 14);
  RunResult expected = runInProcess({spec, "1"});
  ASSERT_EQ(expected.status, 0);
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK), 0);
  int capacity = ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
  ASSERT_GT(capacity, 0);
  ASSERT_GT(expected.out.size(), 2u * static_cast<std::size_t>(capacity));

  Child child({{spec, "1"}, TAVREL_EXE, pipeEnds[1]});
  ::close(pipeEnds[1]);
  int buffered = 0;
  while (!child.ended() &&
         (::ioctl(pipeEnds[0], FIONREAD, &buffered) != 0 || buffered == 0 || !asleep(child.pid())))
    sched_yield();
  std::string out;
  char chunk[4096];
  for (;;) {
    ssize_t got = ::read(pipeEnds[0], chunk, sizeof chunk);
    if (got > 0) {
      out.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno == EAGAIN) {
      struct pollfd request {};
      request.fd = pipeEnds[0];
      request.events = POLLIN;
      ::poll(&request, 1, -1);
    } else if (errno != EINTR) {
      break;
    }
  }
  ::close(pipeEnds[0]);
  ChildResult result = child.finish();
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(normalizeRuntime(out), normalizeRuntime(expected.out));
}

}  // namespace
}  // namespace tavrel::testing
