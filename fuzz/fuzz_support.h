// What the fuzz targets share: a private folder for the files they write,
// and one whole run of the miner in this process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrel::fuzz {

// A folder of this process's own, made on first use and removed at exit.
const std::string& workDir();

// Writes `content` to the file `name` in workDir() and returns its path.
std::string writeWorkFile(const std::string& name, std::string_view content);

// Writes a spec file naming `dbPath` with the three sizes; returns its path.
std::string writeSpecFile(const std::string& dbPath, long long totalItems, long long maxItemLength,
                          long long stringCount);

// A descriptor open on /dev/null.
int nullDescriptor();

// Runs `Tavrel.exe specPath minSup` through runCommandLine() with its output sent
// to `outputFd`. Stops the process when the result is not an exit status
// of the program (0 or -1), which no input may cause.
int runMiner(const std::string& specPath, const std::string& minSup, int outputFd);

}  // namespace tavrel::fuzz
