#include "mpi/transport.h"

#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "mpi/wire.h"

namespace tavrel::mpi {

bool startMpi(int* argc, char*** argv, Session* session) {
  int provided = 0;
  if (MPI_Init_thread(argc, argv, MPI_THREAD_MULTIPLE, &provided) != MPI_SUCCESS) return false;
  session->threaded = provided >= MPI_THREAD_MULTIPLE;
  MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  MPI_Comm_rank(MPI_COMM_WORLD, &session->rank);
  MPI_Comm_size(MPI_COMM_WORLD, &session->ranks);
  return true;
}

void endMpi() { MPI_Finalize(); }

void abortMpi(int status) {
  // Leaving without MPI_Finalize() makes mpirun end the other processes and
  // fail (MPI_Abort() is not enough: mpirun --enable-recovery then exits 0).
  std::_Exit(status);
}

bool sendMessage(const std::vector<int>& message, int to, int tag) {
  return MPI_Send(message.data(), static_cast<int>(message.size()), MPI_INT, to, tag,
                  MPI_COMM_WORLD) == MPI_SUCCESS;
}

int pollMessage(int from, int tag, double waitLimit, int* source, std::vector<int>* message,
                const std::atomic<bool>* stop) {
  int flag = 0;
  MPI_Message handle;
  MPI_Status status;
  if (MPI_Improbe(from < 0 ? MPI_ANY_SOURCE : from, tag, MPI_COMM_WORLD, &flag, &handle, &status) !=
      MPI_SUCCESS) {
    return -1;
  }
  if (flag == 0) return 0;
  *source = status.MPI_SOURCE;
  int count = 0;
  if (MPI_Get_count(&status, MPI_INT, &count) != MPI_SUCCESS) return -1;
  message->resize(static_cast<std::size_t>(count));
  MPI_Request request;
  if (MPI_Imrecv(message->data(), count, MPI_INT, &handle, &request) != MPI_SUCCESS) return -1;
  // A sender that dies during a long message leaves it unfinished.
  double deadline = secondsNow() + waitLimit;
  for (;;) {
    int done = 0;
    if (MPI_Test(&request, &done, MPI_STATUS_IGNORE) != MPI_SUCCESS) return -1;
    if (done != 0) return 1;
    if (secondsNow() > deadline) return -1;
    if (stop != nullptr && stop->load()) return -2;
  }
}

namespace {

// Broadcasts `count` values from rank 0 in pieces that MPI's int counts hold.
template <typename T>
bool broadcast(T* values, std::size_t count, MPI_Datatype type) {
  constexpr std::size_t kPiece = std::size_t{1} << 28;
  for (std::size_t at = 0; at < count; at += kPiece) {
    int piece = static_cast<int>(std::min(kPiece, count - at));
    if (MPI_Bcast(values + at, piece, type, 0, MPI_COMM_WORLD) != MPI_SUCCESS) return false;
  }
  return true;
}

// The header's sizes: edges, transactions, items (as two ints).
void sizesOf(const std::vector<int>& header, std::size_t* edges, std::size_t* transactions,
             std::size_t* items) {
  *edges = static_cast<std::size_t>(header[1]);
  *transactions = static_cast<std::size_t>(header[5]);
  *items = static_cast<std::size_t>(static_cast<std::uint32_t>(header[6])) |
           static_cast<std::size_t>(static_cast<std::uint32_t>(header[7])) << 32;
}

// True when every rank says `ready` (each rank calls it once).
bool allReady(bool ready) {
  int mine = ready ? 1 : 0;
  int all = 0;
  return MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD) == MPI_SUCCESS && all == 1;
}

}  // namespace

std::vector<int> databaseHeader(const EdgeDatabase& database, int minSup, int threads,
                                bool splitAlways, int blockInts) {
  std::uint64_t items = database.items.size();
  return {kDatabase,
          database.edgeCount,
          database.rootSupport,
          minSup,
          threads,
          static_cast<int>(database.transactionCount()),
          static_cast<int>(static_cast<std::uint32_t>(items)),
          static_cast<int>(static_cast<std::uint32_t>(items >> 32)),
          splitAlways ? 1 : 0,
          blockInts};
}

bool broadcastDatabase(const EdgeDatabase& database) {
  std::vector<std::uint64_t> offsets;
  bool ready = true;
  try {
    offsets.assign(database.offsets.data(), database.offsets.data() + database.offsets.size());
  } catch (const std::bad_alloc&) {
    ready = false;
  }
  if (!allReady(ready)) return false;
  auto& own = const_cast<EdgeDatabase&>(database);  // rank 0 only sends
  return broadcast(own.supports.data(), own.supports.size(), MPI_INT) &&
         broadcast(own.items.data(), own.items.size(), MPI_UINT32_T) &&
         broadcast(offsets.data(), offsets.size(), MPI_UINT64_T) &&
         broadcast(own.weights.data(), own.weights.size(), MPI_INT);
}

bool receiveDatabase(const std::vector<int>& header, EdgeDatabase* database) {
  if (header.size() < kDatabaseHeaderInts) return false;
  std::size_t edges = 0;
  std::size_t transactions = 0;
  std::size_t items = 0;
  sizesOf(header, &edges, &transactions, &items);
  database->edgeCount = header[1];
  database->rootSupport = header[2];
  std::vector<std::uint64_t> offsets;
  bool ready = false;
  try {
    offsets.resize(transactions + 1);
    ready = database->supports.resize(edges) && database->items.resize(items) &&
            database->offsets.resize(transactions + 1) && database->weights.resize(transactions);
  } catch (const std::bad_alloc&) {
  }
  if (!allReady(ready)) return false;
  if (!broadcast(database->supports.data(), edges, MPI_INT) ||
      !broadcast(database->items.data(), items, MPI_UINT32_T) ||
      !broadcast(offsets.data(), offsets.size(), MPI_UINT64_T) ||
      !broadcast(database->weights.data(), transactions, MPI_INT)) {
    return false;
  }
  for (std::size_t t = 0; t <= transactions; ++t) {
    database->offsets[t] = static_cast<std::size_t>(offsets[t]);
  }
  return true;
}

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long long peakMemoryKb() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long long kb = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmHWM: %lld kB", &kb) == 1) break;
  }
  std::fclose(status);
  return kb;
}

}  // namespace tavrel::mpi
