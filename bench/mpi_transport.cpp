// tavrel-mpi-transport: what a message costs between two ranks of an MPI
// job, the figures the cluster section of the README and the scaling
// model take: the latency of a small message (half a round trip of 4
// bytes) and the bandwidth of a large one (64 KB, the size of a block of
// patterns, and 16 MB), both by ping-pong between ranks 0 and 1.
//   mpirun -n 2 tavrel-mpi-transport
#include <mpi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Median seconds of one round trip of `bytes` between ranks 0 and 1, over
// `rounds` rounds (after a few to warm up).
double roundTrip(int rank, std::size_t bytes, int rounds) {
  std::vector<char> buffer(bytes);
  std::vector<double> times;
  int count = static_cast<int>(bytes);
  for (int k = 0; k < rounds + 10; ++k) {
    MPI_Barrier(MPI_COMM_WORLD);
    double begin = MPI_Wtime();
    if (rank == 0) {
      MPI_Send(buffer.data(), count, MPI_BYTE, 1, 0, MPI_COMM_WORLD);
      MPI_Recv(buffer.data(), count, MPI_BYTE, 1, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
    } else if (rank == 1) {
      MPI_Recv(buffer.data(), count, MPI_BYTE, 0, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
      MPI_Send(buffer.data(), count, MPI_BYTE, 0, 0, MPI_COMM_WORLD);
    }
    if (k >= 10) times.push_back(MPI_Wtime() - begin);
  }
  std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
  return times[static_cast<std::size_t>(rounds / 2)];
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  int rank = 0;
  int ranks = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  if (ranks < 2) {
    if (rank == 0) std::fputs("tavrel-mpi-transport: run it on 2 ranks\n", stderr);
    MPI_Finalize();
    return 1;
  }
  double small = roundTrip(rank, 4, 2000) / 2;
  double block = roundTrip(rank, std::size_t{64} << 10, 500) / 2;
  double large = roundTrip(rank, std::size_t{16} << 20, 20) / 2;
  if (rank == 0) {
    std::printf("latency of 4 bytes: %.2f us (median half round trip)\n", small * 1e6);
    std::printf("64 KB block: %.1f us, %.0f MB/s\n", block * 1e6, 65536 / block / 1e6);
    std::printf("16 MB message: %.2f ms, %.0f MB/s\n", large * 1e3, (16 << 20) / large / 1e6);
  }
  MPI_Finalize();
  return 0;
}
