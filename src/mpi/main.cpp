// Entry point of tavrel-mpi: Tavrel.exe's command line on rank 0, with
// the search spread over every rank of the MPI job.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/run.h"
#include "mpi/launcher.h"
#include "mpi/output_relay.h"
#include "mpi/rank_zero.h"
#include "mpi/worker_rank.h"
#include "output/signal_stop.h"

namespace {

// Seconds of silence after which a rank counts as failed
// (TAVREL_MPI_SILENCE, default 30).
double silenceLimit() {
  const char* text = std::getenv("TAVREL_MPI_SILENCE");
  double seconds = text != nullptr ? std::atof(text) : 0;
  return seconds > 0 ? seconds : 30;
}

// Bytes of patterns that may wait for the writer on rank 0
// (TAVREL_MPI_WAITING, default 256 MB).
std::size_t waitingCap() {
  const char* text = std::getenv("TAVREL_MPI_WAITING");
  long long bytes = text != nullptr ? std::atoll(text) : 0;
  return bytes > 0 ? static_cast<std::size_t>(bytes) : std::size_t{256} << 20;
}

// With TAVREL_MPI_STATS set: what the transport cost, on standard error.
void reportStats(tavrel::mpi::TransportStats stats) {
  if (std::getenv("TAVREL_MPI_STATS") == nullptr) return;
  if (!stats.shares.empty()) stats.shares[0].peakKb = tavrel::mpi::peakMemoryKb();
  std::fprintf(stderr,
               "mpi: broadcast %.3f s, %lld messages, %lld bytes to rank 0, rank 0 receiving "
               "%.3f s, workers sending %.3f s, %lld units, %lld pieces given away, %lld holds\n",
               stats.broadcastSeconds, stats.messages, stats.bytes, stats.receiveSeconds,
               stats.workerSendSeconds, stats.units, stats.pieces, stats.holds);
  for (std::size_t r = 0; r < stats.shares.size(); ++r) {
    const tavrel::mpi::RankShare& share = stats.shares[r];
    std::fprintf(
        stderr,
        "mpi: rank %zu: %lld units, busy %.3f s of the search's %.3f s, %lld bytes of patterns, "
        "peak memory %lld kB\n",
        r, share.units, share.busySeconds, stats.searchSeconds, share.patternBytes, share.peakKb);
  }
}

// True when standard output is a pipe or a terminal that mpirun reads.
bool outputThroughMpirun() {
  struct stat about {};
  return std::getenv("OMPI_COMM_WORLD_RANK") != nullptr && fstat(1, &about) == 0 &&
         (S_ISFIFO(about.st_mode) || isatty(1) == 1);
}

// Tavrel.exe's command line with its standard output handed to mpirun
// through a relay that counts the bytes. mpirun says nothing when its own
// write fails: the count goes to standard error, and where mpirun is seen
// to have lost bytes (see launcherKept()), the run fails as a failed write
// does.
int runThroughMpirun(int argc, char** argv, const tavrel::MineFunction& mine) {
  tavrel::mpi::OutputRelay relay;
  if (!relay.start(1)) return tavrel::runTavrel(argc, argv, mine);
  int status = tavrel::runTavrel(argc, argv, mine, relay.input());
  long long bytes = relay.finish();
  std::fprintf(stderr,
               "tavrel-mpi: %lld bytes of output handed to mpirun, which does not report a "
               "failed write (--output FILE does)\n",
               bytes);
  if (!tavrel::mpi::launcherKept(bytes)) {
    std::fputs("Error: cannot write output (mpirun's standard output lost some of it)\n", stderr);
    if (status == 0) status = -1;
  }
  return status;
}

// Tavrel.exe's command line on rank 0. `--output FILE` as the first two
// arguments writes what would go to standard output into FILE instead
// (made or emptied): mpirun forwards a rank's standard output through
// itself, which is slow for output of many megabytes, and does not report
// a failed write.
int runWithOutput(int argc, char** argv, const tavrel::MineFunction& mine) {
  if (argc < 3 || std::strcmp(argv[1], "--output") != 0) {
    if (outputThroughMpirun()) return runThroughMpirun(argc, argv, mine);
    return tavrel::runTavrel(argc, argv, mine);
  }
  int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    std::string note = std::string("tavrel-mpi: cannot open ") + argv[2] +
                       " for --output: " + std::strerror(errno) + "\n";
    std::fputs(note.c_str(), stderr);
    return -1;
  }
  std::vector<const char*> rest{argv[0]};
  rest.insert(rest.end(), argv + 3, argv + argc);
  rest.push_back(nullptr);
  int status = tavrel::runTavrel(argc - 2, rest.data(), mine, out);
  ::close(out);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  tavrel::mpi::Session session;
  if (!tavrel::mpi::startMpi(&argc, &argv, &session)) {
    std::fputs("tavrel-mpi: MPI could not start\n", stderr);
    return 1;
  }
  double silence = silenceLimit();
  if (session.rank == 0) {
    tavrel::mpi::CoordinatorOptions options;
    options.silenceLimit = silence;
    options.waitingCap = waitingCap();
    tavrel::mpi::RankZeroResult result = tavrel::mpi::runRankZero(
        session, options,
        [argc, argv](const tavrel::MineFunction& mine) { return runWithOutput(argc, argv, mine); });
    reportStats(result.stats);
    // mpirun --enable-recovery would report a failed run as a success.
    if (result.status != 0) tavrel::mpi::failRecoveringJob(result.status & 0xff);
    if (result.broken) tavrel::mpi::abortMpi(result.status & 0xff);
    tavrel::mpi::endMpi();
    return result.status;
  }
  tavrel::output::installStopHandlers();
  tavrel::mpi::WorkerOptions options;
  options.silenceLimit = silence;
  int status = tavrel::mpi::serveRun(session, options);
  if (status == 255) tavrel::mpi::abortMpi(status);  // rank 0 is gone
  tavrel::mpi::endMpi();
  return status;
}
