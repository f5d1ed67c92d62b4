#include "state/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavrel {

namespace {

// The pending line lives in a fixed buffer, so that writing needs no memory
// from the heap: the "Error: out of memory" line can always be written, and
// a long line (a pattern with many edges, the echo of a defective database
// line) costs no copy of itself. A line that does not fit is written in
// pieces as it is assembled; the bytes that reach the descriptor are the
// same.
constexpr std::size_t kBufferSize = 1 << 16;

int outputFd = 1;
bool failed = false;
char pending[kBufferSize];
std::size_t pendingLength = 0;

// Waits until `fd` takes more bytes. Returns false when it never will.
bool waitUntilWritable(int fd) {
  for (;;) {
    struct pollfd request {};
    request.fd = fd;
    request.events = POLLOUT;
    int ready = ::poll(&request, 1, -1);
    if (ready > 0) return (request.revents & (POLLERR | POLLNVAL)) == 0;
    if (ready < 0 && errno != EINTR) return false;
  }
}

void writeOut(const char* data, std::size_t length) {
  if (outputFd < 0) return;  // output dropped on purpose (setOutputDescriptor)
  if (!failed && length > 0 && !writeFully(outputFd, data, length)) failed = true;
}

}  // namespace

bool writeFully(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      // A descriptor in non-blocking mode (a pipe handed over that way) is
      // full for now, not broken: wait for the reader.
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilWritable(fd)) continue;
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

void putText(std::string_view text) {
  if (text.size() > kBufferSize - pendingLength) {
    writeOut(pending, pendingLength);
    pendingLength = 0;
    if (text.size() > kBufferSize) {
      writeOut(text.data(), text.size());
      return;
    }
  }
  std::memcpy(pending + pendingLength, text.data(), text.size());
  pendingLength += text.size();
}

void putChar(char c) { putText(std::string_view(&c, 1)); }

void putInt(long long value) {
  char text[24];
  char* const end = text + sizeof text;
  char* first = end;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--first = '-';
  putText(std::string_view(first, static_cast<std::size_t>(end - first)));
}

void putDefaultDouble(double value) {
  char text[64];
  int length = std::snprintf(text, sizeof text, "%g", value);
  if (length > 0) putText(std::string_view(text, static_cast<std::size_t>(length)));
}

int flushOutput() {
  writeOut(pending, pendingLength);
  pendingLength = 0;
  return failed ? -1 : 0;
}

int endLine() {
  putChar('\n');
  return flushOutput();
}

bool outputFailed() { return failed; }

void setOutputDescriptor(int fd) {
  outputFd = fd;
  failed = false;
  pendingLength = 0;
}

void reportOutputFailure() {
  static const char message[] = "Error: cannot write output\n";
  writeFully(2, message, sizeof message - 1);
}

}  // namespace tavrel
