#include "formats/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavrel::formats {

namespace {

constexpr std::size_t kChunk = 1 << 16;

// Appends the next chunk of the file to the buffer. Returns 1 after
// reading bytes, 0 at the end of the file, -1 with errno set.
int readChunk(LineReader* reader) {
  if (reader->start > 0) {
    reader->buffer.erase(0, reader->start);
    reader->start = 0;
  }
  std::size_t size = reader->buffer.size();
  reader->buffer.resize(size + kChunk);
  for (;;) {
    ssize_t got = ::read(reader->fd, reader->buffer.data() + size, kChunk);
    if (got < 0 && errno == EINTR) continue;
    reader->buffer.resize(size + (got > 0 ? static_cast<std::size_t>(got) : 0));
    return got > 0 ? 1 : got == 0 ? 0 : -1;
  }
}

}  // namespace

int openLineReader(const std::string& path, LineReader* reader, std::string* error) {
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
  *reader = LineReader{};
  reader->fd = fd;
  reader->ownsFd = !fromStdin;
  return 0;
}

LineReader lineReaderOverText(std::string text) {
  LineReader reader;
  reader.buffer = std::move(text);
  reader.endOfInput = true;
  return reader;
}

void closeLineReader(LineReader* reader) {
  if (reader->ownsFd) ::close(reader->fd);
  reader->fd = -1;
  reader->ownsFd = false;
}

int readLine(LineReader* reader, const std::string& name, std::string_view* line, bool* terminated,
             std::string* error) {
  std::size_t searched = reader->start;  // no '\n' before this
  std::size_t end;
  while ((end = reader->buffer.find('\n', searched)) == std::string::npos) {
    if (reader->endOfInput) break;
    searched = reader->buffer.size() - reader->start;  // offsets move with the compaction
    int status = readChunk(reader);
    if (status < 0) {
      *error = "cannot read " + name + ": " + std::strerror(errno);
      return -1;
    }
    if (status == 0) reader->endOfInput = true;
  }
  if (end == std::string::npos && reader->start == reader->buffer.size()) return 0;
  *terminated = end != std::string::npos;
  std::size_t stop = *terminated ? end : reader->buffer.size();
  std::string_view text(reader->buffer.data() + reader->start, stop - reader->start);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  *line = text;
  reader->start = *terminated ? end + 1 : stop;
  ++reader->lineNumber;
  return 1;
}

}  // namespace tavrel::formats
