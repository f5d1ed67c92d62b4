#include "prep/database_files.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/case_table.h"
#include "common/item_table.h"
#include "common/output_sink.h"
#include "formats/spec_file.h"
#include "formats/string_database.h"

namespace tavrel::tools {

namespace {

struct PendingFile {
  std::string finalPath;
  std::string temporaryPath;
};

void putDatabase(OutputSink* sink, const Database& database) {
  for (std::size_t s = 0; s < stringCount(database); ++s) {
    sinkPut(sink, formats::stringLine(databaseString(database, s)));
  }
}

// The fingerprint of the database file that putDatabase() writes.
DatabaseFingerprint fingerprintOf(const Database& database) {
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::size_t s = 0; s < stringCount(database); ++s) {
    std::string line = formats::stringLine(databaseString(database, s));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(line.data()), static_cast<uInt>(line.size()));
  }
  return {static_cast<long long>(stringCount(database)), static_cast<std::uint32_t>(crc)};
}

void putSpec(OutputSink* sink, const std::string& name, const Database& database) {
  sinkPut(sink, formats::specFileText({name + ".db", static_cast<long long>(database.labels.size()),
                                       static_cast<long long>(database.longest),
                                       static_cast<long long>(stringCount(database))}));
}

void putItemTable(OutputSink* sink, const Database& database) {
  sinkPut(sink, fingerprintLine(fingerprintOf(database)) + "\n");
  for (std::size_t item = 0; item < database.labels.size(); ++item) {
    sinkPutInt(sink, static_cast<long long>(item));
    sinkPutChar(sink, '\t');
    sinkPut(sink, escapeLabel(database.labels[item]));
    sinkPutChar(sink, '\n');
  }
}

// Writes one file under a fresh temporary name beside `finalPath`; the
// content comes from `put`. Fails with a message.
template <typename Put>
Result writeTemporary(PendingFile* file, Put put) {
  std::string pattern = file->finalPath + ".tmp-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    return Result::failure("cannot create " + file->finalPath + ": " + std::strerror(errno));
  }
  file->temporaryPath = pattern;
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);  // the permissions a plainly created file gets
  OutputSink sink;
  sink.fd = fd;
  put(&sink);
  int status = sinkFlush(&sink);
  int writeError = sink.error;
  if (::close(fd) != 0 && status == 0) {
    status = -1;
    writeError = errno;
  }
  if (status != 0) {
    return Result::failure("cannot write " + file->finalPath + ": " + std::strerror(writeError));
  }
  return Result();
}

void removeTemporaries(PendingFile* files, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!files[i].temporaryPath.empty()) ::unlink(files[i].temporaryPath.c_str());
    files[i].temporaryPath.clear();
  }
}

}  // namespace

Result writeDatabaseFiles(const std::string& folder, const std::string& name,
                          const Database& database) {
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure) {
    return Result::failure("cannot create the folder " + folder + ": " + failure.message());
  }
  std::string base = folder + (folder.back() == '/' ? "" : "/") + name;
  // The spec file comes last, so that it appears only beside a finished database.
  PendingFile files[4] = {{base + ".items.tsv", ""},
                          {base + ".cases.tsv", ""},
                          {base + ".db", ""},
                          {base + ".spec", ""}};
  Result written =
      writeTemporary(&files[0], [&](OutputSink* sink) { putItemTable(sink, database); });
  if (written.ok()) {
    written = writeTemporary(&files[1], [&](OutputSink* sink) {
      putCaseTable(sink, fingerprintOf(database), stringCount(database),
                   [&](std::size_t s) { return sourceOf(database, s); });
    });
  }
  if (written.ok()) {
    written = writeTemporary(&files[2], [&](OutputSink* sink) { putDatabase(sink, database); });
  }
  if (written.ok()) {
    written = writeTemporary(&files[3], [&](OutputSink* sink) { putSpec(sink, name, database); });
  }
  if (!written.ok()) {
    removeTemporaries(files, 4);
    return written;
  }
  for (PendingFile& file : files) {
    if (std::rename(file.temporaryPath.c_str(), file.finalPath.c_str()) != 0) {
      Result renamed = Result::failure("cannot rename " + file.temporaryPath + " to " +
                                       file.finalPath + ": " + std::strerror(errno));
      removeTemporaries(files, 4);
      return renamed;
    }
    file.temporaryPath.clear();
  }
  return Result();
}

}  // namespace tavrel::tools
