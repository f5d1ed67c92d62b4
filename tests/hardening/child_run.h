// Child processes for the hardening tests, with the standard output set up
// in ways that runChild() does not offer: a descriptor of the test's own (a
// pipe, /dev/full, a non-blocking pipe) or none at all.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tavrel::testing {

struct ChildSpec {
  std::vector<std::string> args;
  std::string exe = TAVREL_EXE;
  int stdoutFd = -1;                // becomes the child's descriptor 1; -1: 1 is closed
  bool ignoreSigpipe = false;       // start with SIGPIPE ignored (else its default action)
  long long addressSpaceLimit = 0;  // bytes for RLIMIT_AS; 0: no limit
};

struct ChildResult {
  int exitStatus = -1;  // 0..255 when the child exited, else -1
  int signal = 0;       // the signal that ended the child, else 0
  std::string err;      // everything written to standard error
};

// A started child; finish() waits for it.
class Child {
 public:
  explicit Child(const ChildSpec& spec);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  // True once the child has ended (does not wait).
  bool ended();
  ChildResult finish();

 private:
  ScratchDir dir_;
  pid_t pid_ = -1;
  bool reaped_ = false;
  int waitStatus_ = 0;
};

// Starts the child and waits for it.
ChildResult runChildProcess(const ChildSpec& spec);

// True when Tavrel.exe is built with a sanitizer (address or thread): it
// cannot run under an address-space limit, and it runs several times slower.
constexpr bool kSanitizedBuild =
#ifdef TAVREL_SANITIZED_BUILD
    true;
#else
    false;
#endif

}  // namespace tavrel::testing
