// Helpers for the miner's tests: scratch files, whole runs of the program
// (in this process or as a child process) and output normalisation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/run.h"
#include "input/string_feed.h"
#include "state/run_state.h"

namespace tavrel::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  // Writes `content` to the file `name` in the directory; returns its path.
  std::string write(const std::string& name, const std::string& content) const;
  // Writes a database file and a spec file naming it by its full path, with
  // the given sizes; returns the spec file's path.
  std::string writeDatabase(const std::string& dbContent, int totalItems, int maxItemLength,
                            int stringCount) const;

 private:
  std::string path_;
};

// The state of one run of the miner's passes over a spec file's database,
// for tests of one pass at a time.
struct PassRun {
  RunState run;
  StringSource source;
  std::unique_ptr<StringFeed> feed;
  // Reads the spec file and opens the database's feed; false (with the
  // messages in run.report) when that failed.
  bool open(const std::string& specPath, int minSup);
  // The messages reported so far.
  std::string messages() const;
};

struct RunResult {
  int status = 0;   // exit status as the shell sees it (0..255), or -1 for a signal
  std::string out;  // everything written to standard output
  std::string err;  // everything written to standard error
};

// Runs the miner in this process through runCommandLine(), its output and
// error streams sent to temporary files; `status` is its result (0 or -1).
// `mirrorErrors` runs it as it runs with a person watching standard error;
// `mine` is what it mines with.
// `watch` sets when the run warns of a large output.
RunResult runInProcess(const std::vector<std::string>& args, bool mirrorErrors = false,
                       const MineFunction& mine = tavrel::mine,
                       const OutputWatchLimits& watch = OutputWatchLimits());

// Options for a child-process run of Tavrel.exe.
struct ChildOptions {
  std::string workingDir;           // empty: the test's own
  long long addressSpaceLimit = 0;  // bytes for RLIMIT_AS; 0: no limit
  std::string stdoutPath;           // non-empty: standard output goes to this file
  bool closeStdout = false;         // start the child with descriptor 1 closed
  bool ignoreSigpipe = false;       // start the child with SIGPIPE ignored
};

// Runs the program `exe` (Tavrel.exe by default) as a child process and
// collects its output and exit status.
RunResult runChild(const std::vector<std::string>& args, const ChildOptions& options = {},
                   const std::string& exe = TAVREL_EXE);

// Replaces the seconds of the "Total Runtime: " line with "<t>" after
// checking that they are written as a default-formatted double; a malformed
// figure is left as it is, so that the comparison fails.
std::string normalizeRuntime(const std::string& output);

// The output of a complete run with the given pattern blocks and count.
std::string completeRunOutput(const std::string& patternBlocks, int patternCount);

// Reads a whole file.
std::string readFile(const std::string& path);

}  // namespace tavrel::testing
