// Memory exhaustion in a real process: Tavrel.exe under an address-space
// limit (RLIMIT_AS) must end with the one line "Error: out of memory" and
// exit status 255 whatever the input makes it allocate, never with an
// uncaught exception, an abort or a crash. AddressSanitizer cannot run
// under such a limit, so the sanitizer build skips these tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hardening/child_run.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

const char kOutOfMemory[] = "Error: out of memory\n";
constexpr long long kMiB = 1024 * 1024;

#define SKIP_IN_SANITIZED_BUILD() \
  if (kSanitizedBuild) GTEST_SKIP() << "a sanitizer cannot run under RLIMIT_AS"

RunResult runLimited(const std::vector<std::string>& args, long long limit) {
  ChildOptions options;
  options.addressSpaceLimit = limit;
  return runChild(args, options);
}

TEST(MemoryLimitTest, AbsurdSizesEndInOutOfMemory) {
  SKIP_IN_SANITIZED_BUILD();
  ScratchDir dir;
  std::string db = dir.write("db.txt", "2 0 1\n2 0 1\n");
  // Item tables sized by total items, line buffers by max item length.
  for (const char* sizes : {"2147483647\n5\n5\n", "5\n2147483647\n5\n",
                            "2147483647\n2147483647\n2147483647\n", "1500000000\n3\n2\n"}) {
    SCOPED_TRACE(sizes);
    std::string spec = dir.write("s.spec", db + "\n" + sizes);
    RunResult result = runLimited({spec, "1"}, 256 * kMiB);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.out, kOutOfMemory);
    EXPECT_EQ(result.err, kOutOfMemory);  // standard error is another file: told there too
  }
  // A count of strings far beyond the file costs nothing.
  std::string spec = dir.write("s.spec", db + "\n2\n2\n2147483647\n");
  RunResult many = runLimited({spec, "1"}, 256 * kMiB);
  EXPECT_EQ(many.status, 0);
  EXPECT_EQ(normalizeRuntime(many.out), completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1));
}

TEST(MemoryLimitTest, TablesThatOutgrowMemoryEndInOutOfMemory) {
  SKIP_IN_SANITIZED_BUILD();
  ScratchDir dir;
  // 4000 frequent items: a pair matrix of 16 million cells.
  std::string single;
  for (int item = 0; item < 4000; ++item) single += "1 " + std::to_string(item) + "\n";
  std::string matrix = dir.writeDatabase(single, 4000, 1, 4000);
  // One string of 3000 items: the items between each pair of them.
  std::string line = "3000";
  for (int item = 0; item < 3000; ++item) line += " " + std::to_string(item);
  std::string between = dir.writeDatabase(line + "\n", 3000, 3000, 1);
  // Files without a line end: /dev/zero as the database and as the spec file.
  std::string zero = dir.write("zero.spec", "/dev/zero\n5\n5\n5\n");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {matrix, "1"}, {between, "1"}, {zero, "1"}, {"/dev/zero", "1"}}) {
    SCOPED_TRACE(args[0]);
    RunResult result = runLimited(args, 128 * kMiB);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.out, kOutOfMemory);
    EXPECT_EQ(result.err, kOutOfMemory);  // standard error is another file: told there too
  }
}

TEST(MemoryLimitTest, AHugeDatabaseNameInTheSpecFile) {
  // The name is read whole, copied, and echoed when the file cannot be
  // opened (this one is far too long a name for the file system).
  SKIP_IN_SANITIZED_BUILD();
  ScratchDir dir;
  std::string name(20 * kMiB, 'n');
  std::string spec = dir.write("s.spec", name + "\n5\n5\n5\n");
  RunResult roomy = runLimited({spec, "1"}, 256 * kMiB);
  EXPECT_EQ(roomy.status, 255);
  EXPECT_TRUE(roomy.out == "Error: cannot open file " + name + " with mode r\n")
      << roomy.out.size() << " bytes";
  RunResult tight = runLimited({spec, "1"}, 48 * kMiB);
  EXPECT_EQ(tight.status, 255);
  EXPECT_EQ(tight.out, kOutOfMemory);
  EXPECT_EQ(tight.err, kOutOfMemory);
}

// The smallest limit under which Tavrel.exe reads an empty spec file to
// the end and exits. Below it the C++ runtime could not even set up at
// start (the loader fails, or the emergency buffer for exceptions is
// missing and the first failed allocation stops the process); no program
// can do better there.
long long startupLimit(const std::string& emptySpec) {
  long long low = kMiB;
  long long high = 512 * kMiB;
  while (high - low > 16 * 1024) {
    long long mid = (low + high) / 2;
    RunResult run = runLimited({emptySpec, "1"}, mid);
    (run.status == 255 ? high : low) = mid;
  }
  return high;
}

TEST(MemoryLimitTest, EveryLimitGivesTheRightAnswerOrOutOfMemory) {
  // From the least memory in which the program starts up to enough for a
  // complete run (two copies of the clicks example), in small steps, so that allocations in every
  // phase fail in some run. Each run must either be complete and right, or have written the start
  // of the right output and then "Error: out of memory".
  SKIP_IN_SANITIZED_BUILD();
  ScratchDir dir;
  std::string clicks = readFile(TAVREL_SOURCE_DIR "/examples/clicks.db");
  std::string spec = dir.writeDatabase(clicks + clicks, 10, 8, 48);
  RunResult complete = runChild({spec, "2"});
  ASSERT_EQ(complete.status, 0);
  std::string expected = normalizeRuntime(complete.out);
  long long base = startupLimit(dir.write("empty.spec", ""));
  int outOfMemory = 0;
  int completed = 0;
  for (long long limit = base; limit < base + 3 * kMiB && completed < 3; limit += 16 * 1024) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    RunResult run = runLimited({spec, "2"}, limit);
    std::string out = normalizeRuntime(run.out);
    if (run.status == 0) {
      EXPECT_EQ(out, expected);
      ++completed;
      continue;
    }
    ASSERT_EQ(run.status, 255) << run.err;
    ASSERT_GE(out.size(), sizeof kOutOfMemory - 1) << out;
    std::string before = out.substr(0, out.size() - (sizeof kOutOfMemory - 1));
    EXPECT_EQ(out.substr(before.size()), kOutOfMemory);
    EXPECT_EQ(expected.compare(0, before.size(), before), 0) << out;
    EXPECT_TRUE(before.empty() || before.back() == '\n') << out;
    EXPECT_EQ(run.err, kOutOfMemory);
    ++outOfMemory;
  }
  EXPECT_GT(outOfMemory, 0);
  EXPECT_GT(completed, 0);
}

}  // namespace
}  // namespace tavrel::testing
