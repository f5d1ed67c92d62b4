// tavrel-output-bench: the time per pattern of writing formatted pattern
// blocks through a BlockWriter, in block mode and in lineFlush mode.
//
//   tavrel-output-bench [PATTERNS [PATH]]
//
// writes PATTERNS blocks (default 1000000) of one to five edges to PATH
// (default /dev/null) in each mode and prints the nanoseconds per pattern.
// "dropped" times formatting and appending alone (a negative descriptor).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "formats/miner_output.h"
#include "output/block_writer.h"

namespace {

using tavrel::output::BlockWriter;
using tavrel::output::BlockWriterOptions;
using PatternEdge = tavrel::Edge;

// Edges of items below 1000, from a fixed pseudo-random sequence.
std::vector<PatternEdge> makeEdges(std::size_t count) {
  std::vector<PatternEdge> edges(count);
  std::uint32_t state = 12345;
  for (PatternEdge& edge : edges) {
    state = state * 1103515245u + 12345u;
    edge.before = static_cast<int>((state >> 8) % 1000);
    edge.after = static_cast<int>((state >> 18) % 1000);
  }
  return edges;
}

// The edges of pattern `number`: one to five of them.
std::span<const PatternEdge> edgesOf(const std::vector<PatternEdge>& all, std::uint64_t number) {
  std::size_t length = 1 + number % 5;
  return {all.data() + (number * 7) % (all.size() - 5), length};
}

// Appends the block in one piece, formatted in place.
void appendBlock(BlockWriter& out, std::uint64_t number, std::span<const PatternEdge> edges) {
  char* room = out.reserve(tavrel::formats::patternBlockBound(edges.size()));
  if (room == nullptr) return;
  char* end = tavrel::formats::writePatternBlock(room, number, tavrel::Pattern{7, edges});
  out.commit(static_cast<std::size_t>(end - room));
}

// Appends the block a line at a time, as the console writes it today.
void appendLines(BlockWriter& out, std::uint64_t number, std::span<const PatternEdge> edges) {
  std::vector<char> block(tavrel::formats::patternBlockBound(edges.size()));
  char* end = tavrel::formats::writePatternBlock(block.data(), number, tavrel::Pattern{7, edges});
  for (const char* line = block.data(); line < end;) {
    const char* lineEnd = std::find(line, static_cast<const char*>(end), '\n') + 1;
    out.write(line, static_cast<std::size_t>(lineEnd - line));
    line = lineEnd;
  }
}

struct Mode {
  const char* name;
  bool lineFlush;
  bool byLine;
  bool dropped;
};

// Writes `patterns` blocks in `mode` to `path`; returns the nanoseconds per
// pattern, the final flush included, and the bytes that reached the file.
double timeMode(const Mode& mode, std::uint64_t patterns, const char* path,
                const std::vector<PatternEdge>& edges, long long* bytes) {
  int fd = mode.dropped ? -1 : ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (!mode.dropped && fd < 0) {
    std::perror(path);
    std::exit(1);
  }
  auto start = std::chrono::steady_clock::now();
  {
    BlockWriter out(BlockWriterOptions{.fd = fd, .lineFlush = mode.lineFlush});
    for (std::uint64_t number = 1; number <= patterns; ++number) {
      if (mode.byLine) {
        appendLines(out, number, edgesOf(edges, number));
      } else {
        appendBlock(out, number, edgesOf(edges, number));
      }
    }
    if (!out.flush()) std::fprintf(stderr, "%s: a write failed\n", mode.name);
  }
  auto elapsed = std::chrono::steady_clock::now() - start;
  struct stat status {};
  *bytes = fd >= 0 && ::fstat(fd, &status) == 0 ? static_cast<long long>(status.st_size) : 0;
  if (fd >= 0) ::close(fd);
  return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(patterns);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t patterns = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const char* path = argc > 2 ? argv[2] : "/dev/null";
  if (patterns == 0) {
    std::fprintf(stderr, "usage: %s [PATTERNS [PATH]]\n", argv[0]);
    return 2;
  }
  const std::vector<PatternEdge> edges = makeEdges(4096);
  const Mode modes[] = {
      {"block mode, a block per append", false, false, false},
      {"block mode, a line per append", false, true, false},
      {"lineFlush, a write per block", true, false, false},
      {"lineFlush, a write per line", true, true, false},
      {"dropped, a block per append", false, false, true},
  };
  std::printf("%llu patterns to %s\n", static_cast<unsigned long long>(patterns), path);
  for (const Mode& mode : modes) {
    long long bytes = 0;
    double nanoseconds = timeMode(mode, patterns, path, edges, &bytes);
    std::printf("  %-32s %8.1f ns/pattern", mode.name, nanoseconds);
    if (bytes > 0) std::printf("  (%lld bytes)", bytes);
    std::printf("\n");
  }
  return 0;
}
