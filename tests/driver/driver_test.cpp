// The command line, the summary and the exit status, as a user sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/decimal_text.h"
#include "driver/output_watch.h"
#include "driver/progress_line.h"
#include "driver/text_sink.h"
#include "formats/miner_output.h"
#include "output/block_writer.h"
#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::completeRunOutput;
using testing::normalizeRuntime;
using testing::runChild;
using testing::runInProcess;
using testing::ScratchDir;

const char kUsage[] = "Usage: Tavrel.exe spec_file min_sup\n";

TEST(DriverTest, BadCommandLinesGetTheUsageLineAndTheReason) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase("1 1\n", 2, 1, 1);
  const std::string minSupRule =
      "Tavrel.exe: min_sup must be a whole number of 1 or more, or a share such as 5% or 0.05; "
      "got '";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{}, "Tavrel.exe: expected spec_file and min_sup\n"},
      {{spec}, "Tavrel.exe: expected min_sup\n"},
      {{spec, "0"}, minSupRule + "0'\n"},
      {{spec, "-3"}, minSupRule + "-3'\n"},
      {{spec, "many"}, minSupRule + "many'\n"},
      {{spec, ""}, minSupRule + "'\n"},
      {{spec, "2147483648"}, minSupRule + "2147483648'\n"},
      {{spec, "99999999999999999999"}, minSupRule + "99999999999999999999'\n"},
      {{spec, "0%"}, minSupRule + "0%'\n"},
      {{spec, "0.000"}, minSupRule + "0.000'\n"},
      {{spec, "-5%"}, minSupRule + "-5%'\n"},
      // Typed text that starts as a count but is not one is no count.
      {{spec, "2x"}, minSupRule + "2x'\n"},
      {{spec, "12.5"}, minSupRule + "12.5'\n"},
      {{spec, "1.0"}, minSupRule + "1.0'\n"},
      {{spec, "5pct"}, minSupRule + "5pct'\n"},
      {{spec, "5 %"}, minSupRule + "5 %'\n"},
      {{spec, "5 "}, minSupRule + "5 '\n"},
      {{spec, "1e3"}, minSupRule + "1e3'\n"},
      {{spec, "3e-1"}, minSupRule + "3e-1'\n"},
      {{spec, "50%%"}, minSupRule + "50%%'\n"},
      {{spec, "100.01%"},
       "Tavrel.exe: a share of the strings must be at most 100%; got '100.01%'\n"},
      {{spec, "0.1234567890123456"},
       "Tavrel.exe: a share of the strings takes at most 15 digits after the point; got "
       "'0.1234567890123456'\n"},
      {{"--frob", spec, "1"}, "Tavrel.exe: unknown option '--frob' (see Tavrel.exe --help)\n"},
      {{"--threads", "0", spec, "1"},
       "Tavrel.exe: --threads takes a whole number from 1 to 4096\n"},
      {{"--max-patterns"}, "Tavrel.exe: --max-patterns takes a whole number of 1 or more\n"}};
  for (const auto& [args, reason] : cases) {
    testing::RunResult result = runInProcess(args);
    EXPECT_EQ(result.status, -1) << ::testing::PrintToString(args);
    EXPECT_EQ(result.out, kUsage) << ::testing::PrintToString(args);
    EXPECT_EQ(result.err, reason) << ::testing::PrintToString(args);
  }
  // The usage check opens no file, so a missing spec file is not reported.
  testing::RunResult result = runInProcess({dir.path() + "/missing", "0"});
  EXPECT_EQ(result.out, kUsage);
}

TEST(DriverTest, ConditionsThatMakeNoSenseAreRefusedBeforeAnythingIsRead) {
  ScratchDir dir;
  // Bounds that need no database are refused before the spec file is
  // opened: this one does not exist.
  std::string missing = dir.path() + "/missing.spec";
  // A database of 3 items whose first line is defective.
  std::string defective = dir.writeDatabase("2 1 1\n", 3, 2, 1);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--max-edges", "0", missing, "1"},
       "--max-edges takes a whole number of 1 or more; got '0'"},
      {{"--min-edges", "3", "--max-edges", "2", missing, "1"},
       "--min-edges 3 is above --max-edges 2: no pattern can pass both"},
      {{"--top", "0", missing, "1"}, "--top takes a whole number of 1 or more; got '0'"},
      {{"--items", "", missing, "1"},
       "--items takes item numbers separated by commas (3,17,42); got ''"},
      // Items are checked against the spec file's item count before the
      // strings are read.
      {{"--items", "99999", defective, "1"},
       "item 99999 is not in the database, whose items are 0 to 2"},
      {{"--items", "1,3", defective, "1"},
       "item 3 is not in the database, whose items are 0 to 2"}};
  for (const auto& [args, reason] : cases) {
    testing::RunResult result = runChild(args);
    EXPECT_EQ(result.status, 255) << ::testing::PrintToString(args);
    EXPECT_EQ(result.out, kUsage) << ::testing::PrintToString(args);
    EXPECT_EQ(result.err, "Tavrel.exe: " + reason + "\n") << ::testing::PrintToString(args);
  }
  // The last item of the database is one it has: the run goes on to read
  // the strings.
  testing::RunResult inRange = runChild({"--items", "2", defective, "1"});
  EXPECT_EQ(inRange.status, 255);
  EXPECT_EQ(inRange.err, "row #1: error repeated item\n2 1 1\n");
}

TEST(DriverTest, MinSupIsAWholeCountAfterAnyBlanks) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase("2 0 1\n2 0 1\n", 2, 2, 2);
  std::string expected = completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {spec, "2"}, {spec, " 2"}, {spec, "+2"}, {spec, "2", "ignored"}}) {
    testing::RunResult result = runInProcess(args);
    EXPECT_EQ(result.status, 0) << args[1];
    EXPECT_EQ(normalizeRuntime(result.out), expected) << args[1];
    EXPECT_EQ(result.err, "") << args[1];
  }
  testing::RunResult tooHigh = runInProcess({spec, "3"});
  EXPECT_EQ(tooHigh.status, 0);
  EXPECT_EQ(normalizeRuntime(tooHigh.out), completeRunOutput("", 0));
}

TEST(DriverTest, MinSupAsAShareOfTheStringsIsRoundedUp) {
  ScratchDir dir;
  // Seven strings: 0 before 1 in six of them, 2 before 3 in three.
  std::string spec =
      dir.writeDatabase("2 0 1\n2 0 1\n2 0 1\n4 0 1 2 3\n4 0 1 2 3\n4 2 3 0 1\n2 1 0\n", 4, 4, 7);
  struct Case {
    std::string minSup;
    int count;
  };
  for (const Case& c : std::vector<Case>{{"50%", 4},
                                         {"0.5", 4},
                                         {".5", 4},
                                         {"42.86%", 4},
                                         {"42.85%", 3},
                                         {"2.5%", 1},
                                         {"0.000000000000001", 1},
                                         {"100%", 7},
                                         {"0.43", 4},
                                         {" 50%", 4}}) {
    testing::RunResult share = runInProcess({spec, c.minSup});
    testing::RunResult count = runInProcess({spec, std::to_string(c.count)});
    EXPECT_EQ(share.status, 0) << c.minSup;
    EXPECT_EQ(normalizeRuntime(share.out), normalizeRuntime(count.out)) << c.minSup;
    EXPECT_EQ(share.err, "Tavrel.exe: min_sup " + c.minSup + " of 7 strings is " +
                             std::to_string(c.count) + "\n")
        << c.minSup;
  }
  // A share is of the strings read, not of the count the spec file gives.
  std::string overstated = dir.write("overstated.spec", dir.path() + "/db.txt\n4\n4\n100000\n");
  testing::RunResult share = runInProcess({overstated, "50%"});
  EXPECT_EQ(share.status, 0);
  EXPECT_EQ(normalizeRuntime(share.out), normalizeRuntime(runInProcess({spec, "4"}).out));
  EXPECT_EQ(share.err, "Tavrel.exe: min_sup 50% of 7 strings is 4\n");
}

TEST(DriverTest, FailuresAreMirroredOnStandardErrorForAPersonWatching) {
  ScratchDir dir;
  std::string missing = dir.path() + "/missing.spec";
  // A database of 3 items whose first line is defective.
  std::string defective = dir.writeDatabase("2 1 1\n", 3, 2, 1);
  std::string message = "Error: cannot open file " + missing + " with mode r\n";
  testing::RunResult watched = runInProcess({missing, "1"}, true);
  EXPECT_EQ(watched.status, -1);
  EXPECT_EQ(watched.out, message);
  EXPECT_EQ(watched.err, message);
  testing::RunResult unwatched = runInProcess({missing, "1"});
  EXPECT_EQ(unwatched.out, message);
  EXPECT_EQ(unwatched.err, "");
  std::string spec = dir.writeDatabase("1 1\n", 2, 1, 1);
  EXPECT_EQ(runInProcess({spec, "1"}, true).err, "");
}

TEST(DriverTest, FailuresReachStandardErrorWheneverItIsAnotherFile) {
  ScratchDir dir;
  int file = open(dir.write("out.txt", "").c_str(), O_WRONLY);
  int other = open(dir.write("err.txt", "").c_str(), O_WRONLY);
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  EXPECT_TRUE(errorsNeedMirroring(file, other));        // > out.txt 2> err.txt
  EXPECT_TRUE(errorsNeedMirroring(pipeEnds[1], file));  // | reader 2> err.txt
  EXPECT_FALSE(errorsNeedMirroring(file, file));        // > out.txt 2>&1
  EXPECT_FALSE(errorsNeedMirroring(file, -1));          // 2>&- : nowhere to tell
  EXPECT_TRUE(errorsNeedMirroring(-1, file));           // >&- : nowhere to read it
  for (int fd : {file, other, pipeEnds[0], pipeEnds[1]}) close(fd);
  // The program itself, its output to a file and standard error collected apart.
  std::string missing = dir.path() + "/missing.spec";
  // A database of 3 items whose first line is defective.
  std::string defective = dir.writeDatabase("2 1 1\n", 3, 2, 1);
  testing::ChildOptions options;
  options.stdoutPath = dir.path() + "/patterns.txt";
  testing::RunResult result = runChild({missing, "1"}, options);
  std::string message = "Error: cannot open file " + missing + " with mode r\n";
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(testing::readFile(options.stdoutPath), message);
  EXPECT_EQ(result.err, message);
}

TEST(DriverTest, CountOnlyWritesTheClosingLinesOfTheFullRun) {
  ScratchDir dir;
  std::string spec =
      dir.writeDatabase("4 0 1 2 3\n4 3 2 1 0\n4 1 0 3 2\n4 0 2 1 3\n3 2 0 1\n3 3 1 0\n", 4, 4, 6);
  testing::RunResult full = runInProcess({spec, "1"});
  std::string count = "Total Number of patterns: ";
  std::size_t at = full.out.find(count);
  ASSERT_NE(at, std::string::npos);
  for (const char* threads : {"1", "3"}) {
    testing::RunResult counted = runInProcess({"--count-only", "--threads", threads, spec, "1"});
    EXPECT_EQ(counted.status, 0);
    EXPECT_EQ(normalizeRuntime(counted.out),
              normalizeRuntime(full.out.substr(full.out.find("Total Runtime: "))));
    EXPECT_EQ(counted.err, "");
  }
  testing::RunResult capped = runInProcess({"--count-only", "--max-patterns", "2", spec, "1"});
  EXPECT_EQ(normalizeRuntime(capped.out),
            "Total Runtime: <t> sec.\nTotal Number of patterns: 2\n"
            "***********************************************\n"
            "Stopped after 2 patterns, the limit set by --max-patterns\n");
}

TEST(DriverTest, ALargeOutputOrAFillingDiskIsToldOnceEach) {
  ScratchDir dir;
  std::string spec =
      dir.writeDatabase("4 0 1 2 3\n4 3 2 1 0\n4 1 0 3 2\n4 0 2 1 3\n3 2 0 1\n3 3 1 0\n", 4, 4, 6);
  testing::RunResult quiet = runInProcess({spec, "1"});
  ASSERT_GT(quiet.out.size(), 200u);
  EXPECT_EQ(quiet.err, "");
  OutputWatchLimits limits;
  limits.warnAfterBytes = 100;
  limits.spaceCheckEvery = 40;
  limits.warnBelowFreeShare = 2.0;  // every file system is "nearly full"
  testing::RunResult warned = runInProcess({spec, "1"}, false, tavrel::mine, limits);
  EXPECT_EQ(normalizeRuntime(warned.out), normalizeRuntime(quiet.out));
  const std::string size = "Tavrel.exe: warning: the output has passed 100 bytes: ";
  const std::string space = "Tavrel.exe: warning: the file system that holds the output has ";
  EXPECT_NE(warned.err.find(size), std::string::npos) << warned.err;
  EXPECT_EQ(warned.err.find(size, warned.err.find(size) + 1), std::string::npos) << warned.err;
  EXPECT_NE(warned.err.find(space), std::string::npos) << warned.err;
  EXPECT_EQ(warned.err.find(space, warned.err.find(space) + 1), std::string::npos);
  EXPECT_NE(warned.err.find("try --count-only"), std::string::npos);
  // The figures as a person reads them.
  EXPECT_EQ(OutputWatch::warning("x", 1'500'000'000, 10).substr(0, 69),
            "Tavrel.exe: warning: x: 1.5 GB written so far (150 MB/s).\nTavrel.exe:");
  EXPECT_EQ(readableBytes(999), "999 bytes");
  EXPECT_EQ(readableBytes(64'000'000), "64 MB");
}

TEST(DriverTest, ProgressLineReadsAtAGlanceAndStaysOffShortRuns) {
  EXPECT_EQ(ProgressLine::text(42.9, 0, 0, 0, 0), "42s  0 patterns  0/s  top-level edge 0 of 0");
  EXPECT_EQ(ProgressLine::text(185, 999, 1000.5, 12, 345),
            "3m05s  999 patterns  1,001/s  top-level edge 12 of 345");
  EXPECT_EQ(ProgressLine::text(3725.4, 1234567, 98765.4, 3, 2990),
            "1h02m05s  1,234,567 patterns  98,765/s  top-level edge 3 of 2,990");
  // The first update comes after a second: a short run shows none, and its
  // output is as ever.
  ScratchDir dir;
  std::string spec = dir.writeDatabase("2 0 1\n2 0 1\n", 2, 2, 2);
  testing::RunResult run = runInProcess({"--progress", "--threads", "2", spec, "2"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(normalizeRuntime(run.out), completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1));
  EXPECT_EQ(run.err, "");
}

TEST(DriverTest, LongPatternsReadTheSameOnAnyNumberOfThreads) {
  // Five chains of six items, interleaved at random in every string: many
  // closed patterns of far more than 64 edges, whose text the threads make.
  std::mt19937 random(5);
  std::string db;
  for (int string = 0; string < 12; ++string) {
    std::vector<int> order;
    for (int chain = 0; chain < 5; ++chain) order.insert(order.end(), 6, chain);
    std::shuffle(order.begin(), order.end(), random);
    int next[5] = {0, 0, 0, 0, 0};
    db += "30";
    for (int chain : order) db += " " + std::to_string(chain * 6 + next[chain]++);
    db += "\n";
  }
  ScratchDir dir;
  std::string spec = dir.writeDatabase(db, 30, 30, 12);
  testing::RunResult one = runInProcess({"--threads", "1", spec, "2"});
  ASSERT_EQ(one.status, 0);
  std::size_t longest = 0;
  for (std::size_t at = one.out.find(": \n"); at != std::string::npos;
       at = one.out.find(": \n", at + 1)) {
    std::size_t end = one.out.find('\n', at + 3);
    longest = std::max<std::size_t>(longest, static_cast<std::size_t>(std::count(
                                                 one.out.begin() + static_cast<long>(at) + 3,
                                                 one.out.begin() + static_cast<long>(end), '\t')));
  }
  EXPECT_GT(longest, 64u);
  for (const char* threads : {"2", "3"}) {
    testing::RunResult many = runInProcess({"--threads", threads, spec, "2"});
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(normalizeRuntime(many.out), normalizeRuntime(one.out)) << threads << " threads";
  }
}

TEST(DriverTest, TheDatabaseIsFoundBesideTheSpecFile) {
  ScratchDir dir;
  dir.write("d.db", "2 0 1\n2 0 1\n");
  std::string spec = dir.write("d.spec", "d.db\n2\n2\n2\n");
  // Started elsewhere: the name does not resolve from there, so the file
  // beside the spec file is read.
  testing::ChildOptions elsewhere;
  elsewhere.workingDir = "/";
  testing::RunResult found = runChild({spec, "2"}, elsewhere);
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(normalizeRuntime(found.out),
            completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1));
  // A file of that name in the working directory comes first.
  ScratchDir cwd;
  cwd.write("d.db", "2 1 0\n2 1 0\n");
  testing::ChildOptions inCwd;
  inCwd.workingDir = cwd.path();
  EXPECT_EQ(normalizeRuntime(runChild({spec, "2"}, inCwd).out),
            completeRunOutput("Pattern 1 Support = 2: \n1-0\t\n\n", 1));
  // Neither: the message as ever, and where the miner looked.
  std::string lost = dir.write("lost.spec", "nothere.db\n2\n2\n2\n");
  testing::RunResult missing = runChild({lost, "2"}, elsewhere);
  EXPECT_EQ(missing.status, 255);
  EXPECT_EQ(missing.out, "Error: cannot open file nothere.db with mode r\n");
  EXPECT_EQ(missing.err,
            "Error: cannot open file nothere.db with mode r\n"
            "Tavrel.exe: found no database file nothere.db in the working directory / or beside "
            "the spec file as " +
                dir.path() +
                "/nothere.db\nTavrel.exe: the database's name is "
                "line 1 of the spec file " +
                lost + "\n");
}

TEST(DriverTest, ExitStatusAsTheShellSeesIt) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase("1 1\n", 2, 1, 1);
  testing::RunResult ok = runChild({spec, "5"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(normalizeRuntime(ok.out), completeRunOutput("", 0));
  testing::RunResult usage = runChild({spec});
  EXPECT_EQ(usage.status, 255);
  EXPECT_EQ(usage.out, kUsage);
  std::string bad = dir.writeDatabase("1 1\n0 \n", 2, 1, 2);
  testing::RunResult defect = runChild({bad, "1"});
  EXPECT_EQ(defect.status, 255);
  EXPECT_EQ(defect.out, "row #2: error number of items\n0 \n");
}

TEST(DriverTest, RuntimeIsWrittenAsADefaultDouble) {
  std::string lines;
  for (long long milliseconds : {1500LL, 0LL, 12345LL, 1LL, 123456789LL, 1234567000LL}) {
    lines += formats::runtimeLine(milliseconds);
  }
  EXPECT_EQ(lines,
            "Total Runtime: 1.5 sec.\nTotal Runtime: 0 sec.\nTotal Runtime: 12.345 sec.\n"
            "Total Runtime: 0.001 sec.\nTotal Runtime: 123457 sec.\n"
            "Total Runtime: 1.23457e+06 sec.\n");
  for (const char* figure : {"1.5", "0", "0.001", "12.345", "123457", "1.23457e+06"}) {
    std::string line = std::string("Total Runtime: ") + figure + " sec.\n";
    EXPECT_EQ(normalizeRuntime(line), "Total Runtime: <t> sec.\n") << figure;
  }
  for (const char* malformed : {"1.50", "01", ".5", "1,5", "-1"}) {
    std::string line = std::string("Total Runtime: ") + malformed + " sec.\n";
    EXPECT_EQ(normalizeRuntime(line), line) << malformed;
  }
}

TEST(DriverTest, PatternBlocksAndTheirNumbers) {
  // Numbers are 64-bit: a run can write more than 2^31 - 1 patterns.
  char text[24];
  for (std::uint64_t value : {0ULL, 7ULL, 10ULL, 99ULL, 100ULL, 999ULL, 1000ULL, 9999ULL, 10000ULL,
                              2147483648ULL, 18446744073709551615ULL}) {
    EXPECT_EQ(std::string(text, writeDecimal(text, value)), std::to_string(value));
  }
  ScratchDir dir;
  std::string path = dir.path() + "/out";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  {
    output::BlockWriterOptions writing;
    writing.fd = fd;
    output::BlockWriter out(writing);
    TextSink sink(out);
    const Edge first[] = {{0, 7}, {3, 9}};
    const Edge second[] = {{12, 0}};
    EXPECT_TRUE(sink.begin(RunInfo{}));
    EXPECT_TRUE(sink.take(Pattern{5, first}));
    EXPECT_TRUE(sink.take(Pattern{1, second}));
    EXPECT_EQ(sink.written(), 2);
  }
  ::close(fd);
  EXPECT_EQ(testing::readFile(path),
            " \nPattern 1 Support = 5: \n0-7\t3-9\t\n\nPattern 2 Support = 1: \n12-0\t\n\n");
}

}  // namespace
}  // namespace tavrel
