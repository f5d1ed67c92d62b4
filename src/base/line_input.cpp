#include "base/line_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrel {

namespace {

constexpr std::size_t kInitialCapacity = 1 << 16;

// Opens `path` for reading and checks that it can be read as lines (see
// LineInput::open()). Returns the descriptor, or -1 with the reason, an
// errno value, in `reason`; `pipeRefused` tells that the reason is a pipe.
int openChecked(const std::string& path, bool reread, int* reason, bool* pipeRefused) {
  struct stat status {};
  *pipeRefused = false;
  if (reread && ::stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
    *pipeRefused = true;
    return -1;
  }
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *reason = errno;
    return -1;
  }
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) ||
      (reread && S_ISFIFO(status.st_mode))) {
    *reason = S_ISDIR(status.st_mode) ? EISDIR : errno;
    *pipeRefused = S_ISFIFO(status.st_mode);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

LineInput::LineInput(LineInput&& other) noexcept { *this = std::move(other); }

LineInput& LineInput::operator=(LineInput&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    ownsFd_ = std::exchange(other.ownsFd_, false);
    buffer_ = std::move(other.buffer_);
    lineStart_ = std::exchange(other.lineStart_, 0);
    dataEnd_ = std::exchange(other.dataEnd_, 0);
    atEnd_ = std::exchange(other.atEnd_, true);
    lineNumber_ = std::exchange(other.lineNumber_, 0);
    failure_ = std::exchange(other.failure_, Result());
  }
  return *this;
}

Result LineInput::open(const std::string& path, bool reread) {
  close();
  int reason = 0;
  bool pipeRefused = false;
  int fd = openChecked(path, reread, &reason, &pipeRefused);
  if (pipeRefused) return Result::failure("cannot open " + path + ": a pipe cannot be read twice");
  if (fd < 0 && reason == EISDIR)
    return Result::failure("cannot read " + path + ": " + std::strerror(reason));
  if (fd < 0) return Result::failure("cannot open " + path + ": " + std::strerror(reason));
  adopt(fd, true);
  return Result();
}

bool LineInput::openQuietly(const std::string& path, bool reread) {
  close();
  int reason = 0;
  bool pipeRefused = false;
  int fd = openChecked(path, reread, &reason, &pipeRefused);
  if (fd < 0) return false;
  adopt(fd, true);
  return true;
}

Result LineInput::openOrStandardInput(const std::string& path) {
  if (path != "-") return open(path, false);
  close();
  struct stat status {};
  if (::fstat(0, &status) == 0 && S_ISDIR(status.st_mode)) {
    return Result::failure(std::string("cannot read standard input: ") + std::strerror(EISDIR));
  }
  adopt(0, false);
  return Result();
}

void LineInput::adopt(int fd, bool owned) {
  close();
  fd_ = fd;
  ownsFd_ = owned;
  buffer_.clear();
  lineStart_ = dataEnd_ = 0;
  atEnd_ = false;
  lineNumber_ = 0;
  failure_ = Result();
}

LineInput LineInput::overText(std::string_view text) {
  LineInput input;
  if (!input.buffer_.append(text.data(), text.size())) {
    input.failure_ = Result::outOfMemory();
  }
  input.dataEnd_ = input.buffer_.size();
  return input;
}

void LineInput::close() {
  if (ownsFd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ownsFd_ = false;
  atEnd_ = true;
}

// Reads more bytes behind the unread ones, moving them to the front and
// growing the buffer when a line does not fit. Returns 1 when bytes were
// added, 0 at the end of the input, -1 with failure_ set.
int LineInput::fill() {
  if (lineStart_ > 0) {
    std::size_t unread = dataEnd_ - lineStart_;
    std::memmove(buffer_.data(), buffer_.data() + lineStart_, unread);
    dataEnd_ = unread;
    lineStart_ = 0;
  }
  if (dataEnd_ == buffer_.size()) {
    std::size_t grown = buffer_.size() < kInitialCapacity ? kInitialCapacity : buffer_.size() * 2;
    if (!buffer_.resize(grown)) {
      failure_ = Result::outOfMemory();
      return -1;
    }
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
      failure_ = Result::failure(std::strerror(errno));
      return -1;
    }
  }
}

int LineInput::readLine(LineView* line) {
  if (!failure_.ok()) return -1;
  std::size_t searchFrom = lineStart_;
  for (;;) {
    const char* start = buffer_.data() + searchFrom;
    const void* newline =
        dataEnd_ > searchFrom ? std::memchr(start, '\n', dataEnd_ - searchFrom) : nullptr;
    if (newline != nullptr) {
      std::size_t end =
          static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data()) + 1;
      line->text = buffer_.data() + lineStart_;
      line->length = end - lineStart_;
      lineStart_ = end;
      ++lineNumber_;
      return 1;
    }
    if (atEnd_) break;
    std::size_t scanned = dataEnd_ - lineStart_;
    if (fill() < 0) return -1;
    searchFrom = lineStart_ + scanned;
  }
  if (lineStart_ == dataEnd_) return 0;
  line->text = buffer_.data() + lineStart_;
  line->length = dataEnd_ - lineStart_;
  lineStart_ = dataEnd_;
  ++lineNumber_;
  return 1;
}

int LineInput::readTrimmed(std::string_view* line, bool* terminated) {
  LineView raw;
  int status = readLine(&raw);
  if (status <= 0) return status;
  std::string_view text(raw.text, raw.length);
  *terminated = !text.empty() && text.back() == '\n';
  if (*terminated) text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  *line = text;
  return 1;
}

}  // namespace tavrel
