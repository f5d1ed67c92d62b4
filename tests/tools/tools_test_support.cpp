#include "tools/tools_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tavrel::testing {

std::string dataPath(const std::string& relative) {
  return std::string(TOOLS_TEST_DATA) + "/" + relative;
}

std::string readData(const std::string& relative) { return readFile(dataPath(relative)); }

RunResult runPrepTool(const std::vector<std::string>& args, const std::string& workingDir) {
  ChildOptions options;
  options.workingDir = workingDir;
  return runChild(args, options, TAVREL_PREP_EXE);
}

RunResult runShowTool(const std::vector<std::string>& args, const ChildOptions& options) {
  return runChild(args, options, TAVREL_SHOW_EXE);
}

RunResult runIntoFullDevice(const std::string& exe, const std::vector<std::string>& args,
                            const std::string& workingDir) {
  // A shell redirects, since runChild() reads back what it sends to a file.
  std::vector<std::string> shellArgs{"-c", "exec \"$0\" \"$@\" > /dev/full", exe};
  shellArgs.insert(shellArgs.end(), args.begin(), args.end());
  ChildOptions options;
  options.workingDir = workingDir;
  return runChild(shellArgs, options, "/bin/sh");
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path == nullptr ? "" : path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

RunResult renderSvg(const std::string& dotProgram, const std::string& dotFile) {
  return runChild({"-Tsvg", dotFile}, {}, dotProgram);
}

}  // namespace tavrel::testing
