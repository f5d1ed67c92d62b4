// A temporary file for the output tests, removed when the object goes
// away. The output tests do without the miner's test support so that they
// link none of the core (which cannot run under ThreadSanitizer).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tavrel::output {

class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tavrel-output-XXXXXX";
    int fd = ::mkstemp(path_.data());
    EXPECT_GE(fd, 0) << path_;
    if (fd >= 0) ::close(fd);
  }
  ~ScratchFile() { ::unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Opens the file for writing, emptied.
  int openEmpty() const { return ::open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); }

  // Everything in the file now.
  std::string contents() const {
    std::string text;
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char piece[1 << 16];
    for (ssize_t got; (got = ::read(fd, piece, sizeof piece)) > 0;) {
      text.append(piece, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
  }

 private:
  std::string path_;
};

}  // namespace tavrel::output
