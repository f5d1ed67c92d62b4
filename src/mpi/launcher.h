// What tavrel-mpi knows of the program that started the job. Open MPI's
// mpirun with --enable-recovery reports status 0 however the ranks end, so
// a failed run has to ask it to fail.
#pragma once

#include <sys/types.h>

namespace tavrel::mpi {

// mpirun's process id when it started this process on this machine (it is
// then also the job's daemon here, and reads this process's standard
// output), or 0.
pid_t localLauncher();

// What became of `bytes` bytes this process handed to mpirun through its
// standard output (a pipe or a terminal that mpirun reads): waits until mpirun has read them and,
// when mpirun runs here and writes to a regular file, until that file holds as many (a few seconds
// at most). False when they are known to be lost: mpirun writes to /dev/full, or to a regular file
// that stays shorter. True when nothing is known (mpirun writes to a pipe or a terminal, or runs
// elsewhere): mpirun itself never reports a failed write.
bool launcherKept(long long bytes);

// When this process runs under Open MPI's mpirun --enable-recovery on
// mpirun's own machine: waits (a few seconds at most) until mpirun has read
// what this process wrote to standard output and standard error, sends
// mpirun SIGTERM, which ends every rank and makes mpirun exit with a
// failing status, and ends this process with `status` without ending MPI.
// Returns (doing nothing) otherwise.
void failRecoveringJob(int status);

}  // namespace tavrel::mpi
