// tavrel-bench: times Tavrel.exe as a process on the benchmark cases and
// checks that its output has not changed.
//
// For every case of the cases file it runs the miner once to warm up (and
// to check the output), then --runs more times, each from the folder of the
// case's spec file with standard output going to a scratch file, and prints
// one table row: case, min_sup, edges, patterns, median / min / max wall
// seconds, peak resident memory (the largest of the runs, from the child's
// rusage), and the reference figures with a verdict. The output is hashed
// without its "Total Runtime: " line (FNV-1a, 64 bits); a case whose hash
// differs from the recorded one fails the run.
//
//   tavrel-bench [--exe PATH] [--cases FILE] [--shared DIR] [--runs N]
//                [--only NAME[:MIN_SUP]]... [--hash FILE] [--skip-slow]
//                [--threads N[,N]...]
//
// --threads runs each case with each of the thread counts given (the runs
// take turns, so that a slow spell of the machine falls on all of them)
// and prints per count the median seconds and the peak memory, and the
// ratio of the last count's median to the first's.
//
// --hash FILE prints the hash and pattern count of a saved output and exits.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Case {
  std::string name;
  std::string folder;  // relative to the shared folder
  std::string spec;
  int minSup = 0;
  long edges = 0;
  long patterns = -1;           // expected; -1 when unknown
  std::string hash;             // expected; "-" when unknown
  double referenceSeconds = 0;  // 0 when the reference did not finish
  double referenceMegabytes = 0;
  bool slow = false;
};

struct Options {
  std::string exe = "build/src/Tavrel.exe";
  std::string cases = "bench/cases.tsv";
  std::string shared = "../shared";
  int runs = 3;
  std::vector<std::string> only;
  bool skipSlow = false;
  std::vector<int> threads;  // empty: the miner's default
};

struct Measure {
  bool ok = false;
  int status = -1;
  double seconds = 0;
  double megabytes = 0;
  long patterns = -1;
  std::string hash;
};

// FNV-1a over the output with its run-time line left out; also counts the
// pattern headers.
void hashOutput(const std::string& path, std::string* hash, long* patterns) {
  std::ifstream in(path, std::ios::binary);
  std::uint64_t h = 1469598103934665603ULL;
  long count = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Total Runtime: ", 0) == 0) continue;
    if (line.rfind("Pattern ", 0) == 0) ++count;
    line += in.eof() ? "" : "\n";
    for (unsigned char c : line) {
      h ^= c;
      h *= 1099511628211ULL;
    }
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, h);
  *hash = text;
  *patterns = count;
}

// Runs the miner once on the case; `threads` 0 leaves --threads out.
Measure runOnce(const Options& options, const Case& c, const std::string& outPath,
                int threads = 0) {
  Measure m;
  std::string folder = options.shared + "/" + c.folder;
  std::string exe = options.exe;
  if (!exe.empty() && exe[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) exe = std::string(cwd) + "/" + exe;
  }
  // The last run's output is cut off and its pages written back before the
  // clock starts: freeing and flushing hundreds of megabytes is not this
  // run's work, and would take processor time from it.
  int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out < 0) return m;
  sync();
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) {
    close(out);
    return m;
  }
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(120);
    dup2(out, 1);
    close(out);
    std::string support = std::to_string(c.minSup);
    std::string count = std::to_string(threads);
    if (threads > 0) {
      execl(exe.c_str(), exe.c_str(), "--threads", count.c_str(), c.spec.c_str(), support.c_str(),
            static_cast<char*>(nullptr));
    } else {
      execl(exe.c_str(), exe.c_str(), c.spec.c_str(), support.c_str(), static_cast<char*>(nullptr));
    }
    _exit(121);
  }
  close(out);
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) < 0) return m;
  auto end = std::chrono::steady_clock::now();
  m.seconds = std::chrono::duration<double>(end - start).count();
  m.megabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
  m.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  m.ok = m.status == 0;
  return m;
}

std::vector<Case> readCases(const std::string& path) {
  std::vector<Case> cases;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    Case c;
    std::string patterns, reference, megabytes, slow;
    std::getline(fields, c.name, '\t');
    std::getline(fields, c.folder, '\t');
    std::getline(fields, c.spec, '\t');
    fields >> c.minSup >> c.edges >> patterns >> c.hash >> reference >> megabytes >> slow;
    c.patterns = patterns == "-" ? -1 : std::atol(patterns.c_str());
    c.referenceSeconds = reference == "-" ? 0 : std::atof(reference.c_str());
    c.referenceMegabytes = megabytes == "-" ? 0 : std::atof(megabytes.c_str());
    c.slow = slow == "slow";
    cases.push_back(c);
  }
  return cases;
}

bool selected(const Options& options, const Case& c) {
  if (options.only.empty()) return !(options.skipSlow && c.slow);
  for (const std::string& only : options.only) {
    if (only == c.name || only == c.name + ":" + std::to_string(c.minSup)) return true;
  }
  return false;
}

// The verdict on a saved output: identical, changed or not recorded.
std::string verdictOn(const Case& c, const std::string& outPath, long* patterns) {
  std::string hash;
  hashOutput(outPath, &hash, patterns);
  if (c.hash == "-") return "hash " + hash + " (not recorded)";
  return hash == c.hash ? "identical" : "CHANGED (" + hash + ")";
}

// One case with each thread count: a table row of medians, peaks and the
// ratio of the last count's median to the first's. False when a run failed
// or an output changed.
bool compareThreads(const Options& options, const Case& c, const std::string& outPath) {
  std::size_t counts = options.threads.size();
  std::vector<std::vector<double>> seconds(counts);
  std::vector<double> peaks(counts, 0);
  std::string verdict = "identical";
  long patterns = -1;
  for (int run = 0; run <= options.runs; ++run) {  // run 0 warms up and checks
    for (std::size_t t = 0; t < counts; ++t) {
      Measure m = runOnce(options, c, outPath, options.threads[t]);
      if (!m.ok) {
        std::printf("| %s | %d | FAILED (exit %d) with %d threads |\n", c.name.c_str(), c.minSup,
                    m.status, options.threads[t]);
        return false;
      }
      if (run == 0) {
        std::string v = verdictOn(c, outPath, &patterns);
        if (v != "identical") verdict = v + " with " + std::to_string(options.threads[t]);
      } else {
        seconds[t].push_back(m.seconds);
      }
      peaks[t] = std::max(peaks[t], m.megabytes);
    }
  }
  std::printf("| %s | %d | %ld |", c.name.c_str(), c.minSup, patterns);
  std::vector<double> medians;
  for (std::size_t t = 0; t < counts; ++t) {
    std::sort(seconds[t].begin(), seconds[t].end());
    medians.push_back(seconds[t][seconds[t].size() / 2]);
    std::printf(" %.2f | %.0f |", medians.back(), peaks[t]);
  }
  std::printf(" %.2f | %s |\n", medians.back() / medians.front(), verdict.c_str());
  std::fflush(stdout);
  return verdict.rfind("CHANGED", 0) != 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: tavrel-bench [--exe PATH] [--cases FILE] [--shared DIR] [--runs N]\n"
               "                    [--only NAME[:MIN_SUP]]... [--skip-slow] [--hash FILE]\n"
               "                    [--threads N[,N]...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int k = 1; k < argc; ++k) {
    std::string arg = argv[k];
    bool hasValue = k + 1 < argc;
    if (arg == "--exe" && hasValue) {
      options.exe = argv[++k];
    } else if (arg == "--cases" && hasValue) {
      options.cases = argv[++k];
    } else if (arg == "--shared" && hasValue) {
      options.shared = argv[++k];
    } else if (arg == "--runs" && hasValue) {
      options.runs = std::max(1, std::atoi(argv[++k]));
    } else if (arg == "--only" && hasValue) {
      options.only.push_back(argv[++k]);
    } else if (arg == "--threads" && hasValue) {
      std::istringstream list(argv[++k]);
      std::string count;
      while (std::getline(list, count, ',')) options.threads.push_back(std::atoi(count.c_str()));
      if (options.threads.empty() ||
          *std::min_element(options.threads.begin(), options.threads.end()) < 1) {
        return usage();
      }
    } else if (arg == "--skip-slow") {
      options.skipSlow = true;
    } else if (arg == "--hash" && hasValue) {
      std::string hash;
      long patterns;
      hashOutput(argv[++k], &hash, &patterns);
      std::printf("%s\t%ld\n", hash.c_str(), patterns);
      return 0;
    } else {
      return usage();
    }
  }
  std::vector<Case> cases = readCases(options.cases);
  if (cases.empty()) {
    std::fprintf(stderr, "tavrel-bench: no cases in %s\n", options.cases.c_str());
    return 2;
  }
  char scratch[] = "/tmp/tavrel-bench-XXXXXX";
  int fd = mkstemp(scratch);
  if (fd < 0) return 2;
  close(fd);
  std::string outPath = scratch;

  if (!options.threads.empty()) {
    std::printf("| case | min_sup | patterns |");
    for (int count : options.threads) std::printf(" %d thr. s | %d thr. MB |", count, count);
    std::printf(" ratio | output |\n|---|---:|---:|");
    for (std::size_t t = 0; t < options.threads.size(); ++t) std::printf("---:|---:|");
    std::printf("---:|---|\n");
    int failed = 0;
    for (const Case& c : cases) {
      if (selected(options, c) && !compareThreads(options, c, outPath)) ++failed;
    }
    unlink(outPath.c_str());
    if (failed > 0) std::fprintf(stderr, "tavrel-bench: %d case(s) failed\n", failed);
    return failed > 0 ? 1 : 0;
  }
  std::printf(
      "| case | min_sup | edges | patterns | median s | min s | max s | peak MB | reference s | "
      "reference MB | output |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|\n");
  std::fflush(stdout);
  int failures = 0;
  for (const Case& c : cases) {
    if (!selected(options, c)) continue;
    Measure warm = runOnce(options, c, outPath);
    std::string verdict;
    long patterns = -1;
    if (!warm.ok) {
      verdict = "FAILED (exit " + std::to_string(warm.status) + ")";
    } else {
      std::string hash;
      hashOutput(outPath, &hash, &patterns);
      if (c.hash == "-") {
        verdict = "hash " + hash + " (not recorded)";
      } else {
        verdict = hash == c.hash ? "identical" : "CHANGED (" + hash + ")";
      }
    }
    if (verdict.rfind("FAILED", 0) == 0 || verdict.rfind("CHANGED", 0) == 0) ++failures;
    std::vector<double> seconds;
    double peak = warm.megabytes;
    for (int run = 0; run < options.runs && warm.ok; ++run) {
      Measure m = runOnce(options, c, outPath);
      if (!m.ok) {
        verdict = "FAILED in a timed run";
        ++failures;
        break;
      }
      seconds.push_back(m.seconds);
      peak = std::max(peak, m.megabytes);
    }
    std::sort(seconds.begin(), seconds.end());
    double median = seconds.empty() ? 0 : seconds[seconds.size() / 2];
    char reference[64] = "over 150";
    if (c.referenceSeconds > 0)
      std::snprintf(reference, sizeof reference, "%.2f", c.referenceSeconds);
    char referenceMb[32] = "-";
    if (c.referenceMegabytes > 0)
      std::snprintf(referenceMb, sizeof referenceMb, "%.0f", c.referenceMegabytes);
    std::printf("| %s | %d | %ld | %ld | %.2f | %.2f | %.2f | %.0f | %s | %s | %s |\n",
                c.name.c_str(), c.minSup, c.edges, patterns, median,
                seconds.empty() ? 0.0 : seconds.front(), seconds.empty() ? 0.0 : seconds.back(),
                peak, reference, referenceMb, verdict.c_str());
    std::fflush(stdout);
  }
  unlink(outPath.c_str());
  if (failures > 0) std::fprintf(stderr, "tavrel-bench: %d case(s) failed\n", failures);
  return failures > 0 ? 1 : 0;
}
