#include "support/test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "driver/run.h"
#include "formats/spec_file.h"

namespace tavrel::testing {

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tavrel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::write(const std::string& name, const std::string& content) const {
  std::string full = path_ + "/" + name;
  std::ofstream file(full, std::ios::binary);
  file << content;
  return full;
}

std::string ScratchDir::writeDatabase(const std::string& dbContent, int totalItems,
                                      int maxItemLength, int stringCount) const {
  std::string db = write("db.txt", dbContent);
  return write("db.spec", formats::specFileText({db, totalItems, maxItemLength, stringCount}));
}

bool PassRun::open(const std::string& specPath, int minSup) {
  run.minSup = minSup;
  source = StringSource::specFile(specPath);
  feed = openStringFeed(source, run);
  return feed != nullptr;
}

std::string PassRun::messages() const { return std::string(run.report.toStatus().message()); }

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

RunResult runInProcess(const std::vector<std::string>& args, bool mirrorErrors,
                       const MineFunction& mine, const OutputWatchLimits& watch) {
  ScratchDir dir;
  std::string outPath = dir.path() + "/stdout";
  std::string errPath = dir.path() + "/stderr";
  int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || errFd < 0) throw std::runtime_error("cannot create files in " + dir.path());
  std::vector<const char*> argv{"Tavrel.exe"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  CommandLineStreams streams{fd, errFd};
  streams.mirrorErrors = mirrorErrors;
  streams.outputWatch = watch;
  RunResult result;
  result.status = runCommandLine(static_cast<int>(argv.size()) - 1, argv.data(), streams, mine);
  ::close(fd);
  ::close(errFd);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

RunResult runChild(const std::vector<std::string>& args, const ChildOptions& options,
                   const std::string& exe) {
  ScratchDir dir;
  std::string outPath = options.stdoutPath.empty() ? dir.path() + "/stdout" : options.stdoutPath;
  std::string errPath = dir.path() + "/stderr";
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0) _exit(120);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::close(out);
    ::close(err);
    if (options.closeStdout) ::close(1);
    if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) _exit(121);
    if (options.addressSpaceLimit > 0) {
      struct rlimit limit {};
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(options.addressSpaceLimit);
      if (::setrlimit(RLIMIT_AS, &limit) != 0) _exit(122);
    }
    ::signal(SIGPIPE, options.ignoreSigpipe ? SIG_IGN : SIG_DFL);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    _exit(123);
  }
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0) {
  }
  RunResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

std::string normalizeRuntime(const std::string& output) {
  static const std::regex runtime(
      R"((^|\n)Total Runtime: ((0|[1-9][0-9]*)(\.[0-9]*[1-9])?|[1-9](\.[0-9]*[1-9])?e\+[0-9]+) sec\.\n)");
  return std::regex_replace(output, runtime, "$1Total Runtime: <t> sec.\n");
}

std::string completeRunOutput(const std::string& patternBlocks, int patternCount) {
  return " \n" + patternBlocks +
         "Total Runtime: <t> sec.\nTotal Number of patterns: " + std::to_string(patternCount) +
         "\n***********************************************\n";
}

}  // namespace tavrel::testing
