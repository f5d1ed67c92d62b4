// The MPI calls of a search spread over several processes: int messages
// between rank 0 and the others, and the database broadcast. Every call
// reports failure instead of ending the process (MPI_ERRORS_RETURN).
#pragma once

#include <atomic>
#include <vector>

#include "transactions/edge_database.h"

namespace tavrel::mpi {

struct Session {
  int rank = 0;
  int ranks = 1;
  bool threaded = false;  // any thread may call MPI (MPI_THREAD_MULTIPLE)
};

// Starts MPI, for threads that may all call it when MPI allows that (and
// otherwise for threads that leave every MPI call to the main thread), and
// makes errors return. False when MPI could not start.
bool startMpi(int* argc, char*** argv, Session* session);
// Ends MPI (normally: every rank does it).
void endMpi();
// Ends this process with `status` at once, without ending MPI, so that
// mpirun ends the job and fails.
[[noreturn]] void abortMpi(int status);

// Sends `message` to rank `to` with `tag`. False when MPI failed.
bool sendMessage(const std::vector<int>& message, int to, int tag);
// Takes a message with `tag` from `from` (or any rank: -1) if one has come:
// sets `source` and `message`. Returns 1 when one was taken, 0 when none
// waits, -1 when MPI failed or the message did not come whole within
// `waitLimit` seconds (`source` is set then when it is known), -2 when
// `stop` (when given) became true while the message was still coming.
int pollMessage(int from, int tag, double waitLimit, int* source, std::vector<int>* message,
                const std::atomic<bool>* stop = nullptr);

// Rank 0 sends the database to every rank that calls receiveDatabase()
// (all others). False on every rank when one of them lacks the memory for it,
// or when MPI failed.
bool broadcastDatabase(const EdgeDatabase& database);
bool receiveDatabase(const std::vector<int>& header, EdgeDatabase* database);
// The kDatabase message that goes before the broadcast.
// `splitAlways`: the workers give pieces away at every step they can (for
// tests); `blockInts`: the size of their blocks of patterns.
std::vector<int> databaseHeader(const EdgeDatabase& database, int minSup, int threads,
                                bool splitAlways, int blockInts);

// Seconds on a steady clock.
double secondsNow();

// The most memory this process has held so far (VmHWM), in kB; 0 when the
// system does not tell.
long long peakMemoryKb();

}  // namespace tavrel::mpi
