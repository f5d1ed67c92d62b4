#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "driver/run.h"
#include "formats/spec_file.h"

namespace tavrel::fuzz {

namespace {

std::string makeWorkDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  return pattern;
}

void removeWorkDir() {
  std::error_code ignored;
  std::filesystem::remove_all(workDir(), ignored);
}

}  // namespace

const std::string& workDir() {
  static const std::string dir = makeWorkDir();
  // Registered after dir's destructor, so it runs before it.
  static const bool removedAtExit = std::atexit(removeWorkDir) == 0;
  (void)removedAtExit;
  return dir;
}

std::string writeWorkFile(const std::string& name, std::string_view content) {
  std::string path = workDir() + "/" + name;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!file) {
    std::perror(path.c_str());
    std::abort();
  }
  return path;
}

std::string writeSpecFile(const std::string& dbPath, long long totalItems, long long maxItemLength,
                          long long stringCount) {
  return writeWorkFile("db.spec",
                       formats::specFileText({dbPath, totalItems, maxItemLength, stringCount}));
}

int nullDescriptor() {
  static const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror("/dev/null");
    std::abort();
  }
  return fd;
}

int runMiner(const std::string& specPath, const std::string& minSup, int outputFd) {
  const char* argv[] = {"Tavrel.exe", specPath.c_str(), minSup.c_str(), nullptr};
  int status = runCommandLine(3, argv, CommandLineStreams{outputFd, -1});
  if (status != 0 && status != -1) {
    std::fprintf(stderr, "runCommandLine returned %d\n", status);
    std::abort();
  }
  return status;
}

}  // namespace tavrel::fuzz
