#include "input/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace tavrel {

namespace {
constexpr std::size_t kInitialCapacity = 1 << 16;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void InputFile::reportCannotOpen(Report& report) const {
  report.raw("Error: cannot open file ");
  report.raw(name_);
  report.raw(" with mode ");
  report.line(mode_);
}

bool InputFile::open(const std::string& fileName, const char* mode, bool reread, Report& report) {
  try {
    name_ = fileName;
  } catch (const std::bad_alloc&) {
    report.outOfMemory();
    return false;
  }
  mode_ = mode;
  // A pipe is refused before it is opened: opening it would wait for a
  // writer, and what it delivers once cannot be read again.
  struct stat status {};
  if (reread && ::stat(fileName.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
    reportCannotOpen(report);
    return false;
  }
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0 && (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) ||
                  (reread && S_ISFIFO(status.st_mode)))) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    reportCannotOpen(report);
    return false;
  }
  fd_ = fd;
  if (!buffer_.resize(kInitialCapacity)) {
    report.outOfMemory();
    return false;
  }
  return true;
}

// Reads more bytes behind the unread ones, moving them to the front and
// growing the buffer when a line does not fit. Returns 1 when bytes were
// added, 0 at the end of the file, -1 on an error (reported).
int InputFile::fill(Report& report) {
  if (lineStart_ > 0) {
    std::size_t unread = dataEnd_ - lineStart_;
    std::memmove(buffer_.data(), buffer_.data() + lineStart_, unread);
    dataEnd_ = unread;
    lineStart_ = 0;
  }
  if (dataEnd_ == buffer_.size() && !buffer_.resize(buffer_.size() * 2)) {
    return report.outOfMemory();
  }
  for (;;) {
    ssize_t got = ::read(fd_, buffer_.data() + dataEnd_, buffer_.size() - dataEnd_);
    if (got > 0) {
      dataEnd_ += static_cast<std::size_t>(got);
      return 1;
    }
    if (got == 0) {
      atEnd_ = true;
      return 0;
    }
    if (errno != EINTR) {
      reportCannotOpen(report);
      return -1;
    }
  }
}

int InputFile::readLine(LineView* line, Report& report) {
  std::size_t searchFrom = lineStart_;
  for (;;) {
    const char* start = buffer_.data() + searchFrom;
    const void* newline = std::memchr(start, '\n', dataEnd_ - searchFrom);
    if (newline != nullptr) {
      std::size_t end =
          static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data()) + 1;
      line->text = buffer_.data() + lineStart_;
      line->length = end - lineStart_;
      lineStart_ = end;
      return 1;
    }
    if (atEnd_) break;
    std::size_t scanned = dataEnd_ - lineStart_;
    if (fill(report) < 0) return -1;
    searchFrom = lineStart_ + scanned;
  }
  if (lineStart_ == dataEnd_) return 0;
  line->text = buffer_.data() + lineStart_;
  line->length = dataEnd_ - lineStart_;
  lineStart_ = dataEnd_;
  return 1;
}

}  // namespace tavrel
