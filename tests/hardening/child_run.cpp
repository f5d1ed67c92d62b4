#include "hardening/child_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tavrel::testing {

Child::Child(const ChildSpec& spec) {
  std::string errPath = dir_.path() + "/stderr";
  std::vector<char*> argv{const_cast<char*>(spec.exe.c_str())};
  for (const std::string& arg : spec.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ > 0) return;
  int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (err < 0 || ::dup2(err, 2) < 0) _exit(120);
  ::close(err);
  if (spec.stdoutFd >= 0) {
    if (::dup2(spec.stdoutFd, 1) < 0) _exit(121);
  } else {
    ::close(1);
  }
  if (spec.addressSpaceLimit > 0) {
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(spec.addressSpaceLimit);
    if (::setrlimit(RLIMIT_AS, &limit) != 0) _exit(122);
  }
  ::signal(SIGPIPE, spec.ignoreSigpipe ? SIG_IGN : SIG_DFL);
  ::execv(spec.exe.c_str(), argv.data());
  _exit(123);
}

Child::~Child() {
  if (!reaped_) {
    ::kill(pid_, SIGKILL);
    finish();
  }
}

bool Child::ended() {
  if (reaped_) return true;
  pid_t done = ::waitpid(pid_, &waitStatus_, WNOHANG);
  if (done == pid_) reaped_ = true;
  return reaped_;
}

ChildResult Child::finish() {
  while (!reaped_) {
    pid_t done = ::waitpid(pid_, &waitStatus_, 0);
    if (done == pid_ || (done < 0 && errno != EINTR)) reaped_ = true;
  }
  ChildResult result;
  if (WIFEXITED(waitStatus_)) result.exitStatus = WEXITSTATUS(waitStatus_);
  if (WIFSIGNALED(waitStatus_)) result.signal = WTERMSIG(waitStatus_);
  result.err = readFile(dir_.path() + "/stderr");
  return result;
}

ChildResult runChildProcess(const ChildSpec& spec) { return Child(spec).finish(); }

}  // namespace tavrel::testing
