#include "common/text_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrel::tools {

int readWholeFile(const std::string& path, std::string* content, std::string* error) {
  bool fromStdin = path == "-";
  std::string shown = fromStdin ? std::string("standard input") : path;
  int fd = fromStdin ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = "cannot open " + shown + ": " + std::strerror(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot read " + shown + ": " + std::strerror(EISDIR);
    if (!fromStdin) ::close(fd);
    return -1;
  }
  content->clear();
  char buffer[1 << 16];
  int status = 0;
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = "cannot read " + shown + ": " + std::strerror(errno);
      status = -1;
      break;
    }
    content->append(buffer, static_cast<std::size_t>(got));
  }
  if (!fromStdin) ::close(fd);
  return status;
}

bool nextLine(LineCursor* cursor, std::string_view* line) {
  if (cursor->position >= cursor->text.size()) return false;
  std::size_t start = cursor->position;
  std::size_t end = cursor->text.find('\n', start);
  if (end == std::string_view::npos) {
    end = cursor->text.size();
    cursor->position = end;
  } else {
    cursor->position = end + 1;
  }
  if (end > start && cursor->text[end - 1] == '\r') --end;
  *line = cursor->text.substr(start, end - start);
  ++cursor->lineNumber;
  return true;
}

}  // namespace tavrel::tools
