// Input that no well-meaning user writes: binary bytes, NUL bytes, other
// line ends, megabyte lines, pipes and devices in place of files, a spec
// file that names itself. Each must give the right patterns with exit
// status 0, or a clear message with -1; never a crash, a hang or a silent
// wrong answer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "hardening/child_run.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

const char kNumberOfItems[] = "row #1: error number of items\n";

std::string cannotOpen(const std::string& name) {
  return "Error: cannot open file " + name + " with mode r\n";
}

TEST(HostileInputTest, BinaryAndNulBytesAreReadAsText) {
  ScratchDir dir;
  // Every byte value: the first line runs up to the byte 10 and holds no
  // count, so it is reported, NUL bytes and all.
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  RunResult binary = runInProcess({dir.writeDatabase(bytes, 5, 5, 5), "1"});
  EXPECT_EQ(binary.status, -1);
  EXPECT_EQ(binary.out, kNumberOfItems + bytes.substr(0, 11));

  // A NUL byte ends the text of a line: an item behind it is missing ...
  std::string cut("2 0\0 1\n", 7);
  RunResult missing = runInProcess({dir.writeDatabase(cut, 5, 5, 5), "1"});
  EXPECT_EQ(missing.status, -1);
  EXPECT_EQ(missing.out, kNumberOfItems + cut);
  // ... and what stands behind the last item is not read, NUL or not.
  std::string tail("2 0 1\0 junk\n2 0 1\n", 18);
  RunResult good = runInProcess({dir.writeDatabase(tail, 5, 5, 5), "2"});
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(normalizeRuntime(good.out), completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1));
}

TEST(HostileInputTest, OnlyTheNewlineEndsALine) {
  // Carriage returns alone do not end lines: this file is one string, and
  // what follows its count's items is not read.
  ScratchDir dir;
  std::string spec = dir.writeDatabase("2 0 1\r2 1 0\r2 1 0\r", 2, 2, 3);
  RunResult crOnly = runInProcess({spec, "1"});
  EXPECT_EQ(crOnly.status, 0);
  EXPECT_EQ(normalizeRuntime(crOnly.out),
            completeRunOutput("Pattern 1 Support = 1: \n0-1\t\n\n", 1));
  // With CR LF line ends there are three strings.
  spec = dir.writeDatabase("2 0 1\r\n2 1 0\r\n2 1 0\r\n", 2, 2, 3);
  RunResult crLf = runInProcess({spec, "1"});
  EXPECT_EQ(crLf.status, 0);
  EXPECT_EQ(normalizeRuntime(crLf.out), completeRunOutput("Pattern 1 Support = 2: \n1-0\t\n\n"
                                                          "Pattern 2 Support = 1: \n0-1\t\n\n",
                                                          2));
}

TEST(HostileInputTest, LinesLongerThanAMegabyte) {
  ScratchDir dir;
  // A valid string of 200000 items (1.3 MB), of which only 0 and 1 are
  // frequent.
  std::string line = "200000";
  for (int item = 199999; item >= 0; --item) line += " " + std::to_string(item);
  ASSERT_GT(line.size(), 1u << 20);
  std::string db = line + "\n2 1 0\n";
  RunResult valid = runInProcess({dir.writeDatabase(db, 200000, 200000, 2), "2"});
  EXPECT_EQ(valid.status, 0);
  EXPECT_EQ(normalizeRuntime(valid.out),
            completeRunOutput("Pattern 1 Support = 2: \n1-0\t\n\n", 1));
  // A defective one is echoed byte for byte.
  std::string repeated = "3 0 1 1" + std::string(1 << 21, ' ') + "x\r\n";
  RunResult defective = runInProcess({dir.writeDatabase(repeated, 5, 5, 5), "1"});
  EXPECT_EQ(defective.status, -1);
  EXPECT_TRUE(defective.out == "row #1: error repeated item\n" + repeated)
      << defective.out.size() << " bytes";
}

TEST(HostileInputTest, HugeNumbers) {
  ScratchDir dir;
  for (const char* line : {"2147483647 0 1\n", "2147483648 0 1\n", "99999999999999999999999 0\n"}) {
    RunResult result = runInProcess({dir.writeDatabase(line, 5, 5, 5), "1"});
    EXPECT_EQ(result.status, -1) << line;
    EXPECT_EQ(result.out, kNumberOfItems + std::string(line));
  }
  RunResult item = runInProcess({dir.writeDatabase("1 2147483647\n", 2147483, 5, 5), "1"});
  EXPECT_EQ(item.status, -1);
  EXPECT_EQ(item.out, "row #1: error item out of range\n1 2147483647\n");
  // A min_sup above the number of strings: nothing is frequent.
  RunResult support = runInProcess({dir.writeDatabase("2 0 1\n", 5, 5, 5), "2147483647"});
  EXPECT_EQ(support.status, 0);
  EXPECT_EQ(normalizeRuntime(support.out), completeRunOutput("", 0));
}

TEST(HostileInputTest, SmallestSizes) {
  ScratchDir dir;
  RunResult one = runInProcess({dir.writeDatabase("1 0\n1 0\n", 1, 1, 1), "1"});
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(normalizeRuntime(one.out), completeRunOutput("", 0));
  RunResult range = runInProcess({dir.writeDatabase("1 1\n", 1, 1, 1), "1"});
  EXPECT_EQ(range.status, -1);
  EXPECT_EQ(range.out, "row #1: error item out of range\n1 1\n");
  RunResult length = runInProcess({dir.writeDatabase("2 0 1\n", 2, 1, 1), "1"});
  EXPECT_EQ(length.status, -1);
  EXPECT_EQ(length.out, "row #1: error number of items\n2 0 1\n");
}

TEST(HostileInputTest, AStringCountBeyondTheFileGivesTheSamePatterns) {
  ScratchDir dir;
  std::string clicks = readFile(TAVREL_SOURCE_DIR "/examples/clicks.db");
  RunResult exact = runInProcess({dir.writeDatabase(clicks, 10, 8, 24), "2"});
  ASSERT_EQ(exact.status, 0);
  for (int count : {25, 1000, 2147483647}) {
    RunResult more = runInProcess({dir.writeDatabase(clicks, 10, 8, count), "2"});
    EXPECT_EQ(more.status, 0);
    EXPECT_EQ(normalizeRuntime(more.out), normalizeRuntime(exact.out)) << count;
  }
}

TEST(HostileInputTest, DevicesAndSpecialFiles) {
  ScratchDir dir;
  // /dev/null is an empty database.
  std::string spec = dir.write("null.spec", "/dev/null\n5\n5\n5\n");
  RunResult null = runInProcess({spec, "1"});
  EXPECT_EQ(null.status, 0);
  EXPECT_EQ(normalizeRuntime(null.out), completeRunOutput("", 0));
  // A file that opens but cannot be read (EIO at offset 0).
  spec = dir.write("mem.spec", "/proc/self/mem\n5\n5\n5\n");
  RunResult mem = runInProcess({spec, "1"});
  EXPECT_EQ(mem.status, -1);
  EXPECT_EQ(mem.out, cannotOpen("/proc/self/mem"));
  RunResult memSpec = runInProcess({"/proc/self/mem", "1"});
  EXPECT_EQ(memSpec.status, -1);
  EXPECT_EQ(memSpec.out, cannotOpen("/proc/self/mem"));
  // A spec file that names itself: its first line is no string.
  std::string self = dir.path() + "/self.spec";
  dir.write("self.spec", self + "\n5\n5\n5\n");
  RunResult selfRun = runInProcess({self, "1"});
  EXPECT_EQ(selfRun.status, -1);
  EXPECT_EQ(selfRun.out, kNumberOfItems + self + "\n");
}

TEST(HostileInputTest, ADatabaseThatIsAPipeIsRefusedNotWaitedFor) {
  // The database is read three times, which a pipe cannot give; opening
  // one would wait for a writer forever.
  ScratchDir dir;
  std::string fifo = dir.path() + "/db.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string spec = dir.write("fifo.spec", fifo + "\n5\n5\n5\n");
  RunResult result = runInProcess({spec, "1"});
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, cannotOpen(fifo));
  // /dev/stdin as the database, with standard input a pipe.
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  ::close(pipeEnds[1]);
  int savedStdin = ::dup(0);
  ::dup2(pipeEnds[0], 0);
  spec = dir.write("stdin.spec", "/dev/stdin\n5\n5\n5\n");
  result = runInProcess({spec, "1"});
  ::dup2(savedStdin, 0);
  ::close(savedStdin);
  ::close(pipeEnds[0]);
  EXPECT_EQ(result.status, -1);
  EXPECT_EQ(result.out, cannotOpen("/dev/stdin"));
}

TEST(HostileInputTest, ASpecFileThatIsAPipeIsRead) {
  // The spec file is read once, so a pipe serves, as with `<(...)`.
  ScratchDir dir;
  std::string db = dir.write("db.txt", "2 0 1\n2 0 1\n");
  std::string fifo = dir.path() + "/spec.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int out = ::open((dir.path() + "/out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(out, 0);
  Child child({{fifo, "2"}, TAVREL_EXE, out});
  ::close(out);
  {
    std::ofstream writer(fifo);  // waits for the child to open its end
    writer << db << "\n5\n5\n5\n";
  }
  ChildResult result = child.finish();
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(normalizeRuntime(readFile(dir.path() + "/out")),
            completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1));
}

}  // namespace
}  // namespace tavrel::testing
