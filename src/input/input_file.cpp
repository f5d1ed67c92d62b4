#include "input/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "state/console.h"
#include "state/memory.h"

namespace tavrel {

namespace {

constexpr std::size_t kInitialCapacity = 1 << 16;

void reportCannotOpen(const std::string& name, const std::string& mode) {
  putText("Error: cannot open file ");
  putText(name);
  putText(" with mode ");
  putText(mode);
  endLine();
}

// Reads more bytes behind the unread ones, moving them to the front and
// growing the buffer when a line does not fit. Returns 1 when bytes were
// added, 0 at the end of the file, -1 on an error (reported).
int fillBuffer(InputFile* file) {
  if (file->lineStart > 0) {
    std::size_t unread = file->dataEnd - file->lineStart;
    std::memmove(file->buffer, file->buffer + file->lineStart, unread);
    file->dataEnd = unread;
    file->lineStart = 0;
  }
  if (file->dataEnd == file->capacity) {
    std::size_t capacity = file->capacity * 2;
    char* grown = static_cast<char*>(std::realloc(file->buffer, capacity));
    if (grown == nullptr) return reportOutOfMemory();
    file->buffer = grown;
    file->capacity = capacity;
  }
  for (;;) {
    ssize_t got = ::read(file->fd, file->buffer + file->dataEnd, file->capacity - file->dataEnd);
    if (got > 0) {
      file->dataEnd += static_cast<std::size_t>(got);
      return 1;
    }
    if (got == 0) {
      file->atEnd = true;
      return 0;
    }
    if (errno != EINTR) {
      reportCannotOpen(file->name, file->mode);
      return -1;
    }
  }
}

}  // namespace

InputFile* openInputFile(const std::string& fileName, const char* mode, bool reread) {
  // A pipe is refused before it is opened: opening it would wait for a
  // writer, and what it delivers once cannot be read again.
  struct stat status {};
  if (reread && ::stat(fileName.c_str(), &status) == 0 && S_ISFIFO(status.st_mode)) {
    reportCannotOpen(fileName, mode);
    return nullptr;
  }
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0 && (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) ||
                  (reread && S_ISFIFO(status.st_mode)))) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    reportCannotOpen(fileName, mode);
    return nullptr;
  }
  InputFile* file = new (std::nothrow) InputFile;
  char* buffer = static_cast<char*>(std::malloc(kInitialCapacity));
  if (file == nullptr || buffer == nullptr) {
    delete file;
    std::free(buffer);
    ::close(fd);
    reportOutOfMemory();
    return nullptr;
  }
  file->fd = fd;
  file->buffer = buffer;
  file->capacity = kInitialCapacity;
  try {
    file->name = fileName;
    file->mode = mode;
  } catch (const std::bad_alloc&) {
    closeInputFile(file);
    reportOutOfMemory();
    return nullptr;
  }
  return file;
}

int readLine(InputFile* file, LineView* line) {
  std::size_t searchFrom = file->lineStart;
  for (;;) {
    const char* start = file->buffer + searchFrom;
    const void* newline = std::memchr(start, '\n', file->dataEnd - searchFrom);
    if (newline != nullptr) {
      std::size_t end =
          static_cast<std::size_t>(static_cast<const char*>(newline) - file->buffer) + 1;
      line->text = file->buffer + file->lineStart;
      line->length = end - file->lineStart;
      file->lineStart = end;
      return 1;
    }
    if (file->atEnd) break;
    std::size_t scanned = file->dataEnd - file->lineStart;
    int filled = fillBuffer(file);
    if (filled < 0) return -1;
    searchFrom = file->lineStart + scanned;
  }
  if (file->lineStart == file->dataEnd) return 0;
  line->text = file->buffer + file->lineStart;
  line->length = file->dataEnd - file->lineStart;
  file->lineStart = file->dataEnd;
  return 1;
}

void closeInputFile(InputFile* file) {
  if (file == nullptr) return;
  ::close(file->fd);
  std::free(file->buffer);
  delete file;
}

}  // namespace tavrel
