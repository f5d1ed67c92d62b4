// The command line, the summary and the exit status, as a user sees them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "base/decimal_text.h"
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

TEST(DriverTest, BadCommandLinesGetTheUsageLine) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase("1 1\n", 2, 1, 1);
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {spec},
                                                                {spec, "0"},
                                                                {spec, "-3"},
                                                                {spec, "many"},
                                                                {spec, ""},
                                                                {spec, "2147483648"},
                                                                {spec, "99999999999999999999"}}) {
    testing::RunResult result = runInProcess(args);
    EXPECT_EQ(result.status, -1) << ::testing::PrintToString(args);
    EXPECT_EQ(result.out, kUsage) << ::testing::PrintToString(args);
  }
  // The usage check opens no file, so a missing spec file is not reported.
  testing::RunResult result = runInProcess({dir.path() + "/missing", "0"});
  EXPECT_EQ(result.out, kUsage);
}

TEST(DriverTest, MinSupIsReadAsALeadingDecimalNumber) {
  ScratchDir dir;
  std::string spec = dir.writeDatabase("2 0 1\n2 0 1\n", 2, 2, 2);
  std::string expected = completeRunOutput("Pattern 1 Support = 2: \n0-1\t\n\n", 1);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {spec, "2"}, {spec, "2x"}, {spec, " 2"}, {spec, "+2"}, {spec, "2", "ignored"}}) {
    testing::RunResult result = runInProcess(args);
    EXPECT_EQ(result.status, 0) << args[1];
    EXPECT_EQ(normalizeRuntime(result.out), expected) << args[1];
  }
  testing::RunResult tooHigh = runInProcess({spec, "3"});
  EXPECT_EQ(tooHigh.status, 0);
  EXPECT_EQ(normalizeRuntime(tooHigh.out), completeRunOutput("", 0));
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
  for (std::uint64_t value :
       {0ULL, 7ULL, 10ULL, 99ULL, 100ULL, 2147483648ULL, 18446744073709551615ULL}) {
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
