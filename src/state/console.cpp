#include "state/console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tavrel {

namespace {

int outputFd = 1;
bool failed = false;
char* pending = nullptr;
std::size_t pendingLength = 0;
std::size_t pendingCapacity = 0;

// Makes room for `extra` more bytes. On failure the line is cut short and
// the output marked failed rather than written incomplete.
bool reserve(std::size_t extra) {
  if (pendingLength + extra <= pendingCapacity) return true;
  std::size_t capacity = pendingCapacity == 0 ? 4096 : pendingCapacity;
  while (capacity < pendingLength + extra) capacity *= 2;
  char* grown = static_cast<char*>(std::realloc(pending, capacity));
  if (grown == nullptr) {
    failed = true;
    return false;
  }
  pending = grown;
  pendingCapacity = capacity;
  return true;
}

bool writeAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    ssize_t written = ::write(fd, data, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

void putText(std::string_view text) {
  if (!reserve(text.size())) return;
  std::memcpy(pending + pendingLength, text.data(), text.size());
  pendingLength += text.size();
}

void putChar(char c) {
  if (!reserve(1)) return;
  pending[pendingLength++] = c;
}

void putInt(long long value) {
  char digits[24];
  int length = 0;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (!reserve(static_cast<std::size_t>(length) + 1)) return;
  if (value < 0) pending[pendingLength++] = '-';
  while (length > 0) pending[pendingLength++] = digits[--length];
}

void putDefaultDouble(double value) {
  char text[64];
  int length = std::snprintf(text, sizeof text, "%g", value);
  if (length > 0) putText(std::string_view(text, static_cast<std::size_t>(length)));
}

int flushOutput() {
  if (!failed && pendingLength > 0 && !writeAll(outputFd, pending, pendingLength)) {
    failed = true;
  }
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
  writeAll(2, message, sizeof message - 1);
}

}  // namespace tavrel
