#include "output/signal_stop.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace tavrel::output {

namespace {

// The signals that ask the program to stop, and their handlers before ours.
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
struct sigaction previousActions[2];
bool installed = false;

// The signal that asked to stop, or 0. Written by the handler, so it must
// be lock-free.
std::atomic<int> requestedSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
// The same request as a flag that a run polls (MineOptions::stop).
std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Gives `signalNumber` its default disposition.
void setDefaultAction(int signalNumber) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signalNumber, &action, nullptr);
}

// Records the first stop request. A second one means the user will not
// wait: the signal is raised again with its default action, which takes
// effect as soon as the handler returns (it is blocked until then).
// Async-signal-safe.
void onStopSignal(int signalNumber) {
  int none = 0;
  if (requestedSignal.compare_exchange_strong(none, signalNumber)) {
    requested.store(true);
    return;
  }
  const int savedErrno = errno;
  setDefaultAction(signalNumber);
  raise(signalNumber);
  errno = savedErrno;
}

}  // namespace

bool installStopHandlers() {
  if (installed) return true;
  requestedSignal.store(0);
  requested.store(false);
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  // SA_RESTART: a read or write that the signal interrupts goes on, so
  // that code unaware of EINTR is not disturbed by a stop request.
  action.sa_flags = SA_RESTART;
  // Neither handler interrupts the other.
  sigemptyset(&action.sa_mask);
  for (int signalNumber : kStopSignals) sigaddset(&action.sa_mask, signalNumber);
  for (int k = 0; k < 2; ++k) {
    if (sigaction(kStopSignals[k], &action, &previousActions[k]) != 0) {
      for (int undo = 0; undo < k; ++undo) {
        sigaction(kStopSignals[undo], &previousActions[undo], nullptr);
      }
      return false;
    }
  }
  installed = true;
  return true;
}

void restoreStopHandlers() {
  if (!installed) return;
  for (int k = 0; k < 2; ++k) sigaction(kStopSignals[k], &previousActions[k], nullptr);
  installed = false;
}

bool stopRequested() { return requestedSignal.load(std::memory_order_relaxed) != 0; }

int stopSignal() { return requestedSignal.load(std::memory_order_relaxed); }

void endProcessBySignal(int signalNumber) {
  setDefaultAction(signalNumber);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signalNumber);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signalNumber);
  // Not reached for a signal that ends the process; end as a shell would
  // report it all the same.
  _exit(128 + signalNumber);
}

}  // namespace tavrel::output

namespace tavrel::output {

const std::atomic<bool>& stopFlag() { return requested; }

}  // namespace tavrel::output
