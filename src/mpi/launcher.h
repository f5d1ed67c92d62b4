// What tavrel-mpi knows of the program that started the job. Open MPI's
// mpirun with --enable-recovery reports status 0 however the ranks end, so
// a failed run has to ask it to fail.
#pragma once

namespace tavrel::mpi {

// When this process runs under Open MPI's mpirun --enable-recovery on
// mpirun's own machine: waits (a few seconds at most) until mpirun has read
// what this process wrote to standard output and standard error, sends
// mpirun SIGTERM, which ends every rank and makes mpirun exit with a
// failing status, and ends this process with `status` without ending MPI.
// Returns (doing nothing) otherwise.
void failRecoveringJob(int status);

}  // namespace tavrel::mpi
