// Every allocation the miner makes may fail. For each allocation of a run
// in turn, that one is made to fail: the run must end with exit status -1,
// the output it had written so far and then "Error: out of memory" (or,
// where it can do without the memory, exactly as a complete run), and
// nothing it allocated may be left behind. The complete run must leave
// nothing behind either.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "driver/run.h"
#include "hardening/allocation_hooks.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

struct HookedRun {
  int status = 0;
  std::string out;
  long allocations = 0;
  std::size_t live = 0;
};

// Runs the miner in this process with allocation number `failAt` failing.
HookedRun runFailingAt(const ScratchDir& dir, const std::vector<std::string>& args, long failAt) {
  std::string outPath = dir.path() + "/out";
  int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // One thread unless the arguments ask for more (the last --threads holds).
  std::vector<const char*> argv{"Tavrel.exe", "--threads", "1"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  HookedRun run;
  armAllocations(failAt);
  run.status =
      runCommandLine(static_cast<int>(argv.size()) - 1, argv.data(), CommandLineStreams{fd, -1});
  run.allocations = disarmAllocations();
  run.live = liveAllocations();
  ::close(fd);
  run.out = normalizeRuntime(readFile(outPath));
  return run;
}

// Fails each allocation of the run in turn; returns how many there were.
// (The count is taken from the runs themselves: a run may allocate less
// than the first one in the process, whose global strings still had to
// grow.)
long failEachAllocation(const std::vector<std::string>& args, int completeStatus) {
  ScratchDir dir;
  HookedRun complete = runFailingAt(dir, args, 0);
  EXPECT_EQ(complete.status, completeStatus);
  EXPECT_EQ(complete.live, 0u) << "blocks left after a complete run";
  const std::string oom = "Error: out of memory\n";
  for (long n = 1;; ++n) {
    HookedRun run = runFailingAt(dir, args, n);
    SCOPED_TRACE("allocation " + std::to_string(n) + " failing");
    EXPECT_EQ(run.live, 0u) << "blocks left behind";
    if (run.allocations < n) {  // no allocation failed: a complete run again
      EXPECT_EQ(run.status, completeStatus);
      EXPECT_EQ(run.out, complete.out);
      return n - 1;
    }
    // A failure that the run could work around (an output buffer that did
    // not grow, written out instead) leaves the complete output.
    if (run.status == completeStatus && run.out == complete.out) continue;
    EXPECT_EQ(run.status, -1);
    // What was written before the failure is the start of the complete
    // run's output, ending with a whole line.
    bool wellFormed = run.out.size() >= oom.size() &&
                      run.out.compare(run.out.size() - oom.size(), oom.size(), oom) == 0;
    std::string before = wellFormed ? run.out.substr(0, run.out.size() - oom.size()) : "";
    wellFormed = wellFormed && complete.out.compare(0, before.size(), before) == 0 &&
                 (before.empty() || before.back() == '\n');
    EXPECT_TRUE(wellFormed) << run.out;
    if (::testing::Test::HasFailure()) return n;  // one report is enough
  }
}

std::string example(const char* name) {
  return readFile(std::string(TAVREL_SOURCE_DIR "/examples/") + name);
}

TEST(AllocationFailureTest, EveryAllocationOfACompleteRunMayFail) {
  ScratchDir dir;
  std::string overview = dir.writeDatabase(example("overview.db"), 6, 4, 4);
  EXPECT_GT(failEachAllocation({overview, "2"}, 0), 20);
  std::string clicks = dir.writeDatabase(example("clicks.db"), 10, 8, 24);
  EXPECT_GT(failEachAllocation({clicks, "2"}, 0), 100);
  // A line longer than the first read buffer, so that it has to grow.
  std::string longLine = "3 1 2 3" + std::string(100000, ' ') + "\n3 1 2 3\n";
  std::string wide = dir.writeDatabase(longLine, 4, 3, 2);
  EXPECT_GT(failEachAllocation({wide, "2"}, 0), 10);
}

TEST(AllocationFailureTest, AnAllocationOfAnyThreadOfTheSearchMayFail) {
  // The workers' own allocations (frames, cursors, the pieces they cut for
  // each other and the lists that hold them) fail as cleanly as the main
  // thread's: never an abort, always the start of the output and then
  // "Error: out of memory", and nothing left behind.
  ScratchDir dir;
  std::string clicks = dir.writeDatabase(example("clicks.db"), 10, 8, 24);
  for (const char* threads : {"2", "8"}) {
    SCOPED_TRACE(std::string("threads ") + threads);
    EXPECT_GT(failEachAllocation({"--threads", threads, clicks, "2"}, 0), 100);
  }
}

TEST(AllocationFailureTest, EveryAllocationOfAFailingRunMayFail) {
  ScratchDir dir;
  // A defective line after good ones, and a spec file with a bad value.
  std::string defective = dir.writeDatabase("2 0 1\n2 1 0\n3 0 1 1\n", 2, 3, 3);
  EXPECT_GT(failEachAllocation({defective, "1"}, -1), 5);
  std::string wrong = dir.write("wrong.spec", "db\n5\n0\n5\n");
  failEachAllocation({wrong, "1"}, -1);
  std::string missing = dir.write("missing.spec", dir.path() + "/none\n5\n5\n5\n");
  failEachAllocation({missing, "1"}, -1);
}

}  // namespace
}  // namespace tavrel::testing
