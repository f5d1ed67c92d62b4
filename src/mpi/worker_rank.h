// The ranks other than 0 of a search spread over several processes.
#pragma once

#include "mpi/transport.h"

namespace tavrel::mpi {

struct WorkerOptions {
  double silenceLimit = 30;  // seconds without a word from rank 0: it failed
};

// Serves one run of rank 0: receives the database, searches the units it
// is handed, and returns the exit status rank 0 sends at the end, or 255
// when rank 0 falls silent (rank 0 sends 255 too after another rank
// failed): with 255 the process must end without ending MPI. When rank 0
// ends the run by a signal, ends the process by it. A SIGINT or SIGTERM
// that comes here (with stop handlers installed) is passed on to rank 0.
int serveRun(const Session& session, const WorkerOptions& options);

}  // namespace tavrel::mpi
