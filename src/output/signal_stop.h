// Stopping a run on SIGINT or SIGTERM. The handlers only record which
// signal came; the search polls stopRequested(), winds down, writes out
// what it had and then ends the process the way the signal would have:
//
//   if (!installStopHandlers()) ...;       // at the start of a run
//   ... while (!stopRequested()) search ...
//   writer.flush();
//   restoreStopHandlers();
//   if (stopSignal() != 0) endProcessBySignal(stopSignal());
//
// A second SIGINT or SIGTERM while the program is stopping ends it at once
// by the signal's default action.
//
// Thread safety: stopRequested() and stopSignal() may be called from any
// thread at any time; install and restore from one thread at a time.
#pragma once

#include <atomic>

namespace tavrel::output {

// Installs the handlers of SIGINT and SIGTERM, keeping the ones in place,
// and forgets an earlier stop request. Returns false when the system
// refuses (nothing is installed then). Installing twice keeps the first
// installation.
bool installStopHandlers();

// Puts back the handlers that were in place before installStopHandlers();
// does nothing when none are installed. The stop request, if any, is kept.
void restoreStopHandlers();

// True once SIGINT or SIGTERM has come since installStopHandlers().
// Lock-free; cheap enough to poll in a loop.
bool stopRequested();

// The stop request as a flag that becomes true when stopRequested() does;
// a run polls it (MineOptions::stop).
const std::atomic<bool>& stopFlag();

// The first of SIGINT or SIGTERM that came since installStopHandlers(), or
// 0 when none did.
int stopSignal();

// Ends the process as the signal `signalNumber` ends it by default, so
// that the shell sees its usual status (130 for SIGINT, 143 for SIGTERM):
// restores its default disposition, unblocks it and raises it. Output that
// is still buffered is lost: flush first. Requires a signal whose default
// action ends the process.
[[noreturn]] void endProcessBySignal(int signalNumber);

}  // namespace tavrel::output
