#include "driver/command_line.h"

#include <cstring>

#include "input/decimal.h"

namespace tavrel {

const char kUsageLine[] = "Usage: Tavrel.exe spec_file min_sup\n";

const char kHelpText[] =
    "Usage: Tavrel.exe [options] spec_file min_sup\n"
    "\n"
    "Mines the frequent closed patterns of order relations from the string\n"
    "database named in spec_file: every set of edges \"a before b\" that at\n"
    "least min_sup strings hold together and that no further edge joins\n"
    "without losing support.\n"
    "\n"
    "Options (before spec_file; -- ends them):\n"
    "  --line-flush        write each output line as soon as it is complete\n"
    "                      (default: in blocks; no complete line waits over\n"
    "                      100 ms)\n"
    "  --threads N         search with N threads (default: every core the\n"
    "                      program may use); the output is the same for any N\n"
    "  --max-patterns N    stop after N patterns; the run still ends with its\n"
    "                      closing lines and status 0\n"
    "  --help              print this text\n";

namespace {

// A whole positive decimal number, or -1.
std::int64_t positiveCount(const char* text) {
  if (*text == '\0') return -1;
  std::int64_t value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return -1;
    value = value * 10 + (*c - '0');
    if (value > (std::int64_t{1} << 62)) return -1;
  }
  return value > 0 ? value : -1;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  int next = 1;
  for (; next < argc && std::strncmp(argv[next], "--", 2) == 0; ++next) {
    const char* option = argv[next];
    if (std::strcmp(option, "--") == 0) {
      ++next;
      break;
    }
    if (std::strcmp(option, "--help") == 0) {
      line.help = true;
    } else if (std::strcmp(option, "--line-flush") == 0) {
      line.lineFlush = true;
    } else if (std::strcmp(option, "--max-patterns") == 0 && next + 1 < argc &&
               positiveCount(argv[next + 1]) > 0) {
      line.maxPatterns = positiveCount(argv[++next]);
    } else if (std::strcmp(option, "--threads") == 0 && next + 1 < argc &&
               positiveCount(argv[next + 1]) > 0 && positiveCount(argv[next + 1]) <= 4096) {
      line.threads = static_cast<int>(positiveCount(argv[++next]));
    } else {
      return line;  // an unknown option, or one without its value
    }
  }
  if (line.help) {
    line.valid = true;
    return line;
  }
  if (argc - next < 2) return line;
  DecimalValue support = convertDecimal(argv[next + 1]);
  if (support.value <= 0 || !fitsInInt(support.value)) return line;
  line.specPath = argv[next];
  line.minSup = static_cast<int>(support.value);
  line.valid = true;
  return line;
}

}  // namespace tavrel
