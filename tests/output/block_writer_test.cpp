// BlockWriter: the bytes that reach files and pipes, the bound on how long
// a line waits, and write failures.
#include "output/block_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "output/same_bytes.h"
#include "output/scratch_file.h"

namespace tavrel::output {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Reads a pipe in a thread of its own until every write end is closed,
// noting when each line arrived; a late reader starts after a delay.
class PipeReader {
 public:
  explicit PipeReader(int readFd, milliseconds delay = milliseconds(0))
      : fd_(readFd), delay_(delay), thread_([this] { run(); }) {}
  ~PipeReader() {
    if (thread_.joinable()) thread_.join();
    ::close(fd_);
  }
  // Waits for the end of the pipe; returns every byte read.
  const std::string& finish() {
    if (thread_.joinable()) thread_.join();
    return text_;
  }
  // When each line arrived (valid after finish()).
  const std::vector<Clock::time_point>& lineTimes() const { return lineTimes_; }

 private:
  void run() {
    std::this_thread::sleep_for(delay_);
    char piece[1 << 16];
    for (;;) {
      ssize_t got = ::read(fd_, piece, sizeof piece);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return;
      Clock::time_point now = Clock::now();
      for (ssize_t k = 0; k < got; ++k) {
        if (piece[k] == '\n') lineTimes_.push_back(now);
      }
      text_.append(piece, static_cast<std::size_t>(got));
    }
  }

  int fd_;
  milliseconds delay_;
  std::string text_;
  std::vector<Clock::time_point> lineTimes_;
  std::thread thread_;
};

// Complete lines of many lengths in chunks of one to three lines, and now
// and then a chunk of many lines, larger than a small buffer.
std::vector<std::string> makeChunks() {
  std::vector<std::string> chunks;
  for (int k = 0; k < 3000; ++k) {
    std::string chunk;
    int lines = k % 97 == 0 ? 200 : 1 + k % 3;
    for (int line = 0; line < lines; ++line) {
      chunk += "chunk " + std::to_string(k) + " line " + std::to_string(line) + ' ' +
               std::string(static_cast<std::size_t>(k % 50), 'x') + '\n';
    }
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

// Appends chunks [first, last) alternately by write() and by formatting
// into reserved room, which is larger than what is used. Pauses now and
// then, as a search does between patterns, so that a flusher with a short
// bound writes while the producer is at work.
void appendChunks(BlockWriter& writer, const std::vector<std::string>& chunks, std::size_t first,
                  std::size_t last) {
  for (std::size_t k = first; k < last; ++k) {
    if (k % 100 == 0) std::this_thread::sleep_for(milliseconds(2));
    const std::string& chunk = chunks[k];
    if (k % 2 == 0) {
      writer.write(chunk.data(), chunk.size());
      continue;
    }
    char* room = writer.reserve(chunk.size() + 17);
    ASSERT_NE(room, nullptr);
    std::memcpy(room, chunk.data(), chunk.size());
    writer.commit(chunk.size());
  }
}

std::string concatenate(const std::vector<std::string>& chunks, std::size_t count) {
  std::string text;
  for (std::size_t k = 0; k < count; ++k) text += chunks[k];
  return text;
}

// The writer set-ups under test: each mode, a buffer smaller than many
// chunks, and a flusher that writes all the time beside the producer.
std::vector<BlockWriterOptions> writerSetups() {
  std::vector<BlockWriterOptions> setups(4);
  setups[1].blockSize = 100;
  setups[2].blockSize = 4096;
  setups[2].maxLineWait = milliseconds(1);
  setups[3].lineFlush = true;
  return setups;
}

TEST(BlockWriterTest, AppendsReachFilesAndPipesUnchanged) {
  const std::vector<std::string> chunks = makeChunks();
  const std::size_t half = chunks.size() / 2;
  const std::string expected = concatenate(chunks, chunks.size());
  ScratchFile file;
  for (BlockWriterOptions options : writerSetups()) {
    SCOPED_TRACE("lineFlush " + std::to_string(options.lineFlush) + ", block " +
                 std::to_string(options.blockSize));
    // A file: flush() leaves every byte so far in it; the destructor the rest.
    options.fd = file.openEmpty();
    ASSERT_GE(options.fd, 0);
    {
      BlockWriter writer(options);
      appendChunks(writer, chunks, 0, half);
      EXPECT_TRUE(writer.flush());
      EXPECT_TRUE(sameBytes(file.contents(), concatenate(chunks, half)));
      // The producer moves to another thread, one after the other.
      std::thread([&] { appendChunks(writer, chunks, half, chunks.size()); }).join();
    }
    ::close(options.fd);
    EXPECT_TRUE(sameBytes(file.contents(), expected));

    // A pipe in non-blocking mode, often full: writes wait for the reader.
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    ASSERT_EQ(::fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
    PipeReader reader(ends[0]);
    options.fd = ends[1];
    {
      BlockWriter writer(options);
      appendChunks(writer, chunks, 0, chunks.size());
      EXPECT_FALSE(writer.failed());
    }
    ::close(ends[1]);
    EXPECT_TRUE(sameBytes(reader.finish(), expected));
  }
}

// Lines of 100 bytes that fill `bytes` bytes, numbered from `first`.
std::string numberedLines(int first, std::size_t bytes) {
  std::string text;
  for (int k = first; text.size() < bytes; ++k) {
    std::string line = "line " + std::to_string(k) + ' ';
    text += line + std::string(99 - line.size(), '.') + '\n';
  }
  return text;
}

TEST(BlockWriterTest, AFullPipeHoldsBackTheProducerBehindTheFlusher) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  const auto pipeSize = static_cast<std::size_t>(::fcntl(ends[1], F_GETPIPE_SZ));
  PipeReader reader(ends[0], milliseconds(300));  // nobody reads for now
  const std::string before = numberedLines(0, pipeSize + 1000);
  const std::string after = numberedLines(100000, pipeSize + 1000);
  {
    BlockWriter writer({.fd = ends[1], .maxLineWait = milliseconds(1), .blockSize = 2 * pipeSize});
    writer.write(before.data(), before.size());
    // The flusher writes `before` and blocks on the full pipe; the next
    // append does not fit in the buffer, so the producer must wait for it.
    std::this_thread::sleep_for(milliseconds(100));
    writer.write(after.data(), after.size());
  }
  ::close(ends[1]);
  EXPECT_TRUE(sameBytes(reader.finish(), before + after));
}

TEST(BlockWriterTest, ALineWaitsAtMostTheBoundWhileTheProducerIsQuiet) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  PipeReader reader(ends[0]);
  Clock::time_point firstAppended, secondAppended;
  {
    BlockWriter writer(BlockWriterOptions{.fd = ends[1]});  // 100 ms bound
    firstAppended = Clock::now();
    writer.write("first\n", 6);
    std::this_thread::sleep_for(milliseconds(1000));
    // Once more after the flusher has gone idle.
    secondAppended = Clock::now();
    writer.write("second\n", 7);
    std::this_thread::sleep_for(milliseconds(1000));
  }
  ::close(ends[1]);
  EXPECT_EQ(reader.finish(), "first\nsecond\n");
  ASSERT_EQ(reader.lineTimes().size(), 2u);
  // Generous against a loaded machine, yet well before the writer went away.
  EXPECT_LT(reader.lineTimes()[0] - firstAppended, milliseconds(500));
  EXPECT_LT(reader.lineTimes()[1] - secondAppended, milliseconds(500));
}

// Waits up to five seconds for the writer's flusher to notice a failure.
bool failsSoon(const BlockWriter& writer) {
  Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
  while (!writer.failed() && Clock::now() < giveUp) std::this_thread::sleep_for(milliseconds(5));
  return writer.failed();
}

TEST(BlockWriterTest, AFailedWriteIsRememberedAndLaterOutputDropped) {
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &previous), 0);
  int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  ::close(ends[0]);  // a pipe nobody reads
  int closed = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(closed, 0);
  ::close(closed);
  for (int fd : {full, closed, ends[1]}) {
    for (bool lineFlush : {false, true}) {
      SCOPED_TRACE("descriptor " + std::to_string(fd) + ", lineFlush " + std::to_string(lineFlush));
      BlockWriter writer(BlockWriterOptions{.fd = fd, .lineFlush = lineFlush});
      writer.write("a line\n", 7);
      // Found by the write of that line: at once, or by the flusher.
      EXPECT_TRUE(failsSoon(writer));
      writer.write("later\n", 6);
      char* room = writer.reserve(64);
      ASSERT_NE(room, nullptr);
      std::memcpy(room, "more\n", 5);
      writer.commit(5);
      EXPECT_FALSE(writer.flush());
      EXPECT_TRUE(writer.failed());
    }
  }
  ::close(ends[1]);
  ::close(full);
  ::sigaction(SIGPIPE, &previous, nullptr);

  // A negative descriptor drops the bytes without failing.
  BlockWriter dropping(BlockWriterOptions{.fd = -1, .blockSize = 16});
  for (int k = 0; k < 10; ++k) dropping.write("dropped line\n", 13);
  EXPECT_TRUE(dropping.flush());
}

}  // namespace
}  // namespace tavrel::output
