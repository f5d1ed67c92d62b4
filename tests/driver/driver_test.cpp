// The command line, the summary and the exit status, as a user sees them.
#include <gtest/gtest.h>

#include <string>

#include "state/console.h"
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
  ScratchDir dir;
  std::string path = dir.path() + "/out";
  FILE* file = std::fopen(path.c_str(), "w");
  ASSERT_NE(file, nullptr);
  setOutputDescriptor(fileno(file));
  for (double seconds : {1.5, 0.0, 12.345, 0.001, 123456.789, 1234567.0}) {
    putDefaultDouble(seconds);
    endLine();
  }
  setOutputDescriptor(1);
  std::fclose(file);
  EXPECT_EQ(testing::readFile(path), "1.5\n0\n12.345\n0.001\n123457\n1.23457e+06\n");
  for (const char* figure : {"1.5", "0", "0.001", "12.345", "123457", "1.23457e+06"}) {
    std::string line = std::string("Total Runtime: ") + figure + " sec.\n";
    EXPECT_EQ(normalizeRuntime(line), "Total Runtime: <t> sec.\n") << figure;
  }
  for (const char* malformed : {"1.50", "01", ".5", "1,5", "-1"}) {
    std::string line = std::string("Total Runtime: ") + malformed + " sec.\n";
    EXPECT_EQ(normalizeRuntime(line), line) << malformed;
  }
}

}  // namespace
}  // namespace tavrel
