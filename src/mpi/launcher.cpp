#include "mpi/launcher.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace tavrel::mpi {

namespace {

// True when the environment variable `name` holds `value`.
bool variableIs(const char* name, const char* value) {
  const char* text = std::getenv(name);
  return text != nullptr && std::strcmp(text, value) == 0;
}

// mpirun's process id when it runs this process with recovery on this
// machine, or 0.
pid_t recoveringLauncher() {
  if (!variableIs("OMPI_MCA_orte_enable_recovery", "1") &&
      !variableIs("OMPI_MCA_orte_enable_recovery", "true")) {
    return 0;
  }
  return localLauncher();
}

// Waits until the reader of the pipe or terminal `fd` has taken everything
// written into it, at most `limitMs` milliseconds; returns at once for
// other files.
void waitUntilRead(int fd, int limitMs) {
  struct stat about {};
  if (fstat(fd, &about) != 0) return;
  bool terminal = isatty(fd) == 1;
  if (!S_ISFIFO(about.st_mode) && !terminal) return;
  for (int waited = 0; waited < limitMs; waited += 10) {
    int unread = 0;
    if (ioctl(fd, terminal ? TIOCOUTQ : FIONREAD, &unread) != 0 || unread == 0) return;
    struct timespec pause {
      0, 10000000
    };
    nanosleep(&pause, nullptr);
  }
}

}  // namespace

// Open MPI names mpirun's session folder after its pid (".../pid.<n>");
// mpirun is this machine's daemon when the two addresses it hands its
// processes are the same.
pid_t localLauncher() {
  const char* head = std::getenv("OMPI_MCA_orte_hnp_uri");
  if (head == nullptr || !variableIs("OMPI_MCA_orte_local_daemon_uri", head)) return 0;
  const char* folder = std::getenv("OMPI_MCA_orte_jobfam_session_dir");
  const char* mark = folder != nullptr ? std::strstr(folder, "/pid.") : nullptr;
  if (mark == nullptr) return 0;
  char* end = nullptr;
  long pid = std::strtol(mark + 5, &end, 10);
  if (pid <= 1 || (*end != '\0' && *end != '/')) return 0;
  return static_cast<pid_t>(pid);
}

bool launcherKept(long long bytes) {
  waitUntilRead(1, 5000);
  pid_t launcher = localLauncher();
  if (launcher == 0) return true;
  std::string where = "/proc/" + std::to_string(launcher) + "/fd/1";
  struct stat target {};
  struct stat full {};
  if (stat(where.c_str(), &target) != 0) return true;
  if (S_ISCHR(target.st_mode)) {
    return stat("/dev/full", &full) != 0 || !S_ISCHR(full.st_mode) ||
           full.st_rdev != target.st_rdev;
  }
  if (!S_ISREG(target.st_mode)) return true;
  // mpirun writes what it read soon after; a file that stops short lost the rest.
  for (int waited = 0; target.st_size < bytes && waited < 5000; waited += 20) {
    struct timespec pause {
      0, 20000000
    };
    nanosleep(&pause, nullptr);
    if (stat(where.c_str(), &target) != 0) return true;
  }
  return target.st_size >= bytes;
}

void failRecoveringJob(int status) {
  pid_t launcher = recoveringLauncher();
  if (launcher == 0) return;
  waitUntilRead(1, 5000);
  waitUntilRead(2, 1000);
  kill(launcher, SIGTERM);
  std::_Exit(status);
}

}  // namespace tavrel::mpi
