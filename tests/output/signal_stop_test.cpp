// Stopping on SIGINT and SIGTERM: the request is recorded, the earlier
// handlers come back, a child that writes through a BlockWriter ends after
// its last complete line with the signal's status, and a second signal
// ends it at once.
#include "output/signal_stop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "output/block_writer.h"
#include "output/same_bytes.h"
#include "output/write_fully.h"

namespace tavrel::output {
namespace {

std::atomic<int> earlierHandlerCalls{0};
void earlierHandler(int) { ++earlierHandlerCalls; }

TEST(SignalStopTest, HandlersRecordTheFirstSignalAndGiveBackTheEarlierOnes) {
  struct sigaction earlier {
  }, savedTerm{}, savedInt{};
  earlier.sa_handler = earlierHandler;
  ASSERT_EQ(::sigaction(SIGTERM, &earlier, &savedTerm), 0);
  ASSERT_EQ(::sigaction(SIGINT, &earlier, &savedInt), 0);

  ASSERT_TRUE(installStopHandlers());
  EXPECT_FALSE(stopRequested());
  ::raise(SIGTERM);
  EXPECT_TRUE(stopRequested());
  EXPECT_EQ(stopSignal(), SIGTERM);
  restoreStopHandlers();
  EXPECT_EQ(stopSignal(), SIGTERM);  // still there for the caller
  ::raise(SIGTERM);
  ::raise(SIGINT);
  EXPECT_EQ(earlierHandlerCalls, 2);

  // A new run starts without a request.
  ASSERT_TRUE(installStopHandlers());
  EXPECT_FALSE(stopRequested());
  ::raise(SIGINT);
  EXPECT_EQ(stopSignal(), SIGINT);
  restoreStopHandlers();
  EXPECT_EQ(earlierHandlerCalls, 2);

  ::sigaction(SIGTERM, &savedTerm, nullptr);
  ::sigaction(SIGINT, &savedInt, nullptr);
}

// Block `number` of the child's output: three lines, like a pattern's.
std::string block(std::uint64_t number) {
  return "Pattern " + std::to_string(number) + " Support = 5: \n3-1\t1-4\t\n\n";
}

// The child's output after `count` blocks.
std::string blocks(std::uint64_t count) {
  std::string text;
  for (std::uint64_t number = 1; number <= count; ++number) text += block(number);
  return text;
}

// In the child: writes pattern blocks through a BlockWriter on `outFd`
// until asked to stop, writes out what it had, tells on `countFd` how many
// blocks it appended and ends by the signal.
[[noreturn]] void writeUntilStopped(int outFd, int countFd) {
  if (!installStopHandlers()) ::_exit(90);
  std::uint64_t count = 0;
  {
    BlockWriter writer(BlockWriterOptions{.fd = outFd});
    while (!stopRequested()) {
      std::string text = block(++count);
      char* room = writer.reserve(text.size());
      if (room == nullptr) ::_exit(91);
      std::memcpy(room, text.data(), text.size());
      writer.commit(text.size());
    }
  }
  if (!writeFully(countFd, reinterpret_cast<const char*>(&count), sizeof count)) ::_exit(92);
  endProcessBySignal(stopSignal());
}

// Reads `fd` until `enough` bytes are in `text` (or its end); false at the end.
bool readInto(int fd, std::string* text, std::size_t enough) {
  char piece[1 << 16];
  while (text->size() < enough) {
    ssize_t got = ::read(fd, piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    text->append(piece, static_cast<std::size_t>(got));
  }
  return true;
}

TEST(SignalStopTest, ASignalEndsTheWriterAfterItsLastCompleteLine) {
  for (int signalNumber : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signalNumber);
    int out[2], count[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(count, O_CLOEXEC), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(out[0]);
      ::close(count[0]);
      writeUntilStopped(out[1], count[1]);
    }
    ::close(out[1]);
    ::close(count[1]);
    std::string text;
    EXPECT_TRUE(readInto(out[0], &text, 100000));
    ::kill(child, signalNumber);
    readInto(out[0], &text, std::string::npos);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::string counted;
    readInto(count[0], &counted, std::string::npos);
    ::close(out[0]);
    ::close(count[0]);

    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signalNumber);
    std::uint64_t appended = 0;
    ASSERT_EQ(counted.size(), sizeof appended);
    counted.copy(reinterpret_cast<char*>(&appended), sizeof appended);
    EXPECT_TRUE(sameBytes(text, blocks(appended)));
  }
}

TEST(SignalStopTest, ASecondSignalWhileStoppingEndsTheProcessAtOnce) {
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(out[0]);
    if (!installStopHandlers()) ::_exit(90);
    writeFully(out[1], "ready\n", 6);
    while (!stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    writeFully(out[1], "stopping\n", 9);
    // A slow wind-down that the user will not wait for.
    std::this_thread::sleep_for(std::chrono::seconds(10));
    ::_exit(3);
  }
  ::close(out[1]);
  std::string text;
  EXPECT_TRUE(readInto(out[0], &text, 6));
  ::kill(child, SIGINT);
  EXPECT_TRUE(readInto(out[0], &text, 15));
  EXPECT_EQ(text, "ready\nstopping\n");
  ::kill(child, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(out[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGINT);
}

}  // namespace
}  // namespace tavrel::output
