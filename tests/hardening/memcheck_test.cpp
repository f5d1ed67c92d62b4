// Whole runs of Tavrel.exe under valgrind's memcheck: no invalid access, no
// use of uninitialised memory, and nothing left allocated at exit, not
// even blocks still reachable from a global, so every table, between
// array and tree node must have been freed. Built only when valgrind is
// found, and not in the sanitizer build.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "formats/string_database.h"
#include "hardening/child_run.h"
#include "support/test_support.h"

namespace tavrel::testing {
namespace {

const std::vector<std::string> kMemcheck = {
    "-q", "--error-exitcode=99", "--leak-check=full", "--show-leak-kinds=all",
    "--errors-for-leak-kinds=definite,indirect,possible,reachable"};

struct Checked {
  ChildResult plain;  // the run without valgrind
  ChildResult underMemcheck;
  std::string plainOut;
  std::string checkedOut;
};

// Runs Tavrel.exe with `args` once as it is and once under memcheck, both
// with standard output to a file (or to `outputPath`, say /dev/full).
Checked runBoth(const std::vector<std::string>& args, const std::string& outputPath = "") {
  ScratchDir dir;
  Checked result;
  for (int checked = 0; checked < 2; ++checked) {
    std::string path = outputPath.empty() ? dir.path() + "/out" : outputPath;
    int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(out, 0);
    ChildSpec spec{args, TAVREL_EXE, out};
    if (checked) {
      spec.args = kMemcheck;
      spec.args.push_back(TAVREL_EXE);
      spec.args.insert(spec.args.end(), args.begin(), args.end());
      spec.exe = TAVREL_VALGRIND;
    }
    ChildResult run = runChildProcess(spec);
    ::close(out);
    std::string text = outputPath.empty() ? normalizeRuntime(readFile(path)) : "";
    (checked ? result.underMemcheck : result.plain) = run;
    (checked ? result.checkedOut : result.plainOut) = text;
  }
  return result;
}

// Runs both ways and expects memcheck to find nothing and the program to
// behave exactly as without it.
void expectClean(const std::vector<std::string>& args, int status,
                 const std::string& outputPath = "") {
  SCOPED_TRACE(::testing::PrintToString(args));
  Checked run = runBoth(args, outputPath);
  EXPECT_EQ(run.plain.exitStatus, status);
  EXPECT_EQ(run.underMemcheck.exitStatus, status) << run.underMemcheck.err;  // 99: memcheck errors
  EXPECT_EQ(run.underMemcheck.err, run.plain.err);
  EXPECT_EQ(run.checkedOut, run.plainOut);
}

std::string randomDatabase(unsigned seed, int strings, int items) {
  std::string db;
  for (int s = 0; s < strings; ++s) {
    std::vector<int> kept;
    for (int item = 0; item < items; ++item) {
      seed = seed * 1103515245u + 12345u;
      if ((seed >> 16) % 3 != 0) kept.push_back(item);
    }
    for (std::size_t k = kept.size(); k > 1; --k) {
      seed = seed * 1103515245u + 12345u;
      std::swap(kept[k - 1], kept[(seed >> 16) % k]);
    }
    if (kept.empty()) kept.push_back(0);
    db += formats::stringLine(kept);
  }
  return db;
}

TEST(MemcheckTest, Examples) {
  std::string examples = TAVREL_SOURCE_DIR "/examples/";
  ScratchDir scratch;
  std::string overview = scratch.writeDatabase(readFile(examples + "overview.db"), 6, 4, 4);
  expectClean({overview, "2"}, 0);
  std::string clicks = scratch.writeDatabase(readFile(examples + "clicks.db"), 10, 8, 24);
  expectClean({clicks, "2"}, 0);
}

TEST(MemcheckTest, GeneratedDatabases) {
  ScratchDir dir;
  expectClean({dir.writeDatabase(randomDatabase(1, 14, 12), 12, 12, 14), "1"}, 0);
  expectClean({dir.writeDatabase(randomDatabase(2, 30, 12), 12, 12, 100), "4"}, 0);
}

TEST(MemcheckTest, RunsThatFail) {
  ScratchDir dir;
  expectClean({dir.writeDatabase("2 0 1\n2 1 0\n3 0 1 1\n", 2, 3, 3), "1"}, 255);
  std::string clicks = readFile(TAVREL_SOURCE_DIR "/examples/clicks.db");
  expectClean({dir.writeDatabase(clicks, 10, 8, 24), "2"}, 255, "/dev/full");
}

}  // namespace
}  // namespace tavrel::testing
