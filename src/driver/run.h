// Tavrel.exe: the command line as a client of the library.
#pragma once

#include <functional>

#include "driver/output_watch.h"
#include "tavrel/tavrel.h"

namespace tavrel {

// What a run of the command line mines with: tavrel::mine(), or another
// function with its contract (one that searches on several processes).
using MineFunction = std::function<Status(const StringSource& source, const MineOptions& options,
                                          PatternSink& sink)>;

// Where a run of the command line writes: its standard output and standard
// error. A negative descriptor drops what would go there.
struct CommandLineStreams {
  CommandLineStreams(int outFd = 1, int errFd = 2) : out(outFd), err(errFd) {}
  int out;
  int err;
  // Stop a run on SIGINT or SIGTERM: write out every complete pattern,
  // then end the process as the signal would (the program's own process
  // only; in-process callers leave the signals alone).
  bool stopOnSignals = false;
  // Write failure messages to `err` as well as to `out`: for a person
  // watching a terminal while the output goes to a file or a pipe.
  bool mirrorErrors = false;
  // Show the progress line on `err` even without --progress, and rewrite
  // it in place (standard error is a terminal, standard output is not).
  bool progressOnTerminal = false;
  bool errIsTerminal = false;  // --progress rewrites its line in place
  // When to warn on `err` that the output grows large or the disk fills.
  OutputWatchLimits outputWatch;
};

// Runs the whole program on `Tavrel.exe [options] spec_file min_sup` and
// returns its exit status: 0 after a complete run (or one stopped at
// --max-patterns), -1 after a usage error, a defective input or a lack of
// memory (whose message has been written to `streams.out`), or after a
// failed write ("Error: cannot write output" on `streams.err`). Standard
// error also gets why a command line is not valid, the count a min_sup
// share came to, and advice that goes with a failure. Any number
// of runs may follow each other, or run at the same time, in one process.
int runCommandLine(int argc, const char* const* argv, const CommandLineStreams& streams,
                   const MineFunction& mineWith = mine);

// True when a failure written on descriptor `out` would go unseen unless
// it is written on `err` too: `err` is open, and `out` is closed, or is not
// a terminal and not the file `err` writes to (as `2>&1` would make it).
bool errorsNeedMirroring(int out, int err);

// runCommandLine() on the process's standard output (or on `out`) and
// standard error, stopping on SIGINT and SIGTERM, mirroring failures to
// standard error when errorsNeedMirroring() says so.
int runTavrel(int argc, const char* const* argv, const MineFunction& mineWith = mine, int out = 1);

}  // namespace tavrel
