#include "common/text_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formats/line_reader.h"

namespace tavrel::tools {

int readWholeFile(const std::string& path, std::string* content, std::string* error) {
  formats::LineReader reader;
  if (formats::openLineReader(path, &reader, error) != 0) return -1;
  const std::string shown = path == "-" ? std::string("standard input") : path;
  content->clear();
  char buffer[1 << 16];
  int status = 0;
  for (;;) {
    ssize_t got = ::read(reader.fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      *error = "cannot read " + shown + ": " + std::strerror(errno);
      status = -1;
      break;
    }
    content->append(buffer, static_cast<std::size_t>(got));
  }
  formats::closeLineReader(&reader);
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
