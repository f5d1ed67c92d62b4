// tavrel-scaling: records the cost tree of one sequential search and
// predicts, by replaying it, how the parallel search would scale on more
// cores than this machine has, and on a cluster.
//
//   tavrel-scaling SPEC MIN_SUP [options]   record a search, then predict
//   tavrel-scaling --replay FILE [options]  predict from a recorded tree
//
// Recording: --threshold-us X (keep a step's children when its subtree
// took at least X µs; default: the search's time / --units, 100000),
// --time-limit S (record the first S seconds only: a partial tree),
// --tree FILE (write the tree), --measure (also time the search without
// the recorder, and the parallel engine on 1 and 2 threads; --repeat N:
// the median of N rounds).
// Prediction: --workers 1,2,4,8,16,64; --split-us 1 and --wake-us 5 (see
// work_simulator.h); the cluster: --nodes 4,16,64 (none: --nodes 0),
// --cores 16, --latency S (one message, default 2e-6), --bandwidth B
// (bytes/s into node 0, default 5e9), --record-bytes N (default: the
// recorded mean); --writer-ns X: the ordered writer's time for one pattern
// (default 100, the time per pattern that tavrel-output-bench measures for
// writing formatted blocks to /dev/null, less formatting them); --passes
// T1,T2: the passes' seconds on 1 and 2 threads, to predict the whole run
// from a recorded tree (--measure times them).

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "scaling/prediction_report.h"
#include "scaling/search_runs.h"

namespace {

using tavrel::scaling::CostTree;
using tavrel::scaling::TimedSearch;

struct Arguments {
  std::string spec;
  int minSup = 0;
  std::string replay;
  std::string treeFile;
  int measure = 0;  // repetitions of the measured searches
  tavrel::scaling::RecorderOptions recorder;
  tavrel::scaling::ReportOptions report;
};

bool parseList(const char* text, std::vector<int>& list) {
  list.clear();
  std::string s = text;
  std::size_t at = 0;
  while (at <= s.size()) {
    std::size_t comma = s.find(',', at);
    std::string item = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    char* end = nullptr;
    long value = std::strtol(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || value < 0 || value > 1000000) return false;
    if (value > 0) list.push_back(static_cast<int>(value));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return true;
}

// The path as seen from the folder the program started in (it moves to
// the spec file's folder before it writes).
std::string absolute(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::vector<char> folder(4096);
  if (getcwd(folder.data(), folder.size()) == nullptr) return path;
  return std::string(folder.data()) + "/" + path;
}

bool parseNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value >= 0;
}

// Reads the command line; false (after saying why) when it is wrong.
bool parseArguments(int argc, char** argv, Arguments& args) {
  std::vector<std::string> positional;
  for (int k = 1; k < argc; ++k) {
    std::string option = argv[k];
    const char* value = k + 1 < argc ? argv[k + 1] : nullptr;
    bool ok = true;
    double number = 0;
    if (option == "--measure") {
      args.measure = 1;
      continue;
    }
    if (option.rfind("--", 0) != 0) {
      positional.push_back(option);
      continue;
    }
    if (value == nullptr) {
      std::fprintf(stderr, "tavrel-scaling: %s needs a value\n", option.c_str());
      return false;
    }
    ++k;
    if (option == "--replay") {
      args.replay = value;
    } else if (option == "--tree") {
      args.treeFile = absolute(value);
    } else if (option == "--repeat") {
      ok = parseNumber(value, number) && number >= 1;
      args.measure = static_cast<int>(number);
    } else if (option == "--workers") {
      ok = parseList(value, args.report.workers);
    } else if (option == "--nodes") {
      ok = parseList(value, args.report.nodes);
    } else if (option == "--cores") {
      ok = parseNumber(value, number) && number >= 1;
      args.report.cores = static_cast<int>(number);
    } else if (option == "--threshold-us") {
      ok = parseNumber(value, number) && number > 0;
      args.recorder.thresholdSeconds = number * 1e-6;
    } else if (option == "--units") {
      ok = parseNumber(value, args.recorder.targetUnits) && args.recorder.targetUnits >= 1;
    } else if (option == "--time-limit") {
      ok = parseNumber(value, args.recorder.timeLimitSeconds);
    } else if (option == "--split-us") {
      ok = parseNumber(value, number);
      args.report.machine.splitNs = number * 1e3;
    } else if (option == "--wake-us") {
      ok = parseNumber(value, number);
      args.report.machine.wakeNs = number * 1e3;
    } else if (option == "--latency") {
      ok = parseNumber(value, number) && number > 0;
      args.report.machine.latencyNs = number * 1e9;
    } else if (option == "--bandwidth") {
      ok = parseNumber(value, args.report.machine.bandwidth);
    } else if (option == "--passes") {
      std::string text = value;
      std::size_t comma = text.find(',');
      ok = comma != std::string::npos &&
           parseNumber(text.substr(0, comma).c_str(), args.report.passesNs[0]) &&
           parseNumber(text.substr(comma + 1).c_str(), args.report.passesNs[1]);
      args.report.passesNs[0] *= 1e9;
      args.report.passesNs[1] *= 1e9;
    } else if (option == "--writer-ns") {
      ok = parseNumber(value, args.report.writerNs);
    } else if (option == "--record-bytes") {
      ok = parseNumber(value, args.report.recordBytes);
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "tavrel-scaling: bad option or value: %s %s\n", option.c_str(), value);
      return false;
    }
  }
  if (args.replay.empty() && positional.size() == 2) {
    args.spec = positional[0];
    args.minSup = std::atoi(positional[1].c_str());
    if (args.minSup >= 1) return true;
  }
  if (!args.replay.empty() && positional.empty()) return true;
  std::fprintf(stderr,
               "usage: tavrel-scaling SPEC MIN_SUP [--threshold-us X] [--time-limit S] "
               "[--tree FILE] [--measure] [--repeat N]\n"
               "       tavrel-scaling --replay FILE\n"
               "  and: [--workers 1,2,4] [--split-us X] [--wake-us X] [--nodes 4,16,64] "
               "[--cores C] [--latency S] [--bandwidth B] [--record-bytes N] [--writer-ns X]\n"
               "       [--passes T1,T2]\n");
  return false;
}

// Moves to the spec file's folder, where a bare database name is found;
// returns the spec file's name there.
std::string enterFolderOf(const std::string& spec) {
  std::size_t slash = spec.rfind('/');
  if (slash == std::string::npos) return spec;
  if (chdir(spec.substr(0, slash + 1).c_str()) != 0) std::perror("chdir");
  return spec.substr(slash + 1);
}

// The run of median time of a few.
TimedSearch median(std::vector<TimedSearch> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const TimedSearch& a, const TimedSearch& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

// Times the search as it is, repeated, taking the median of each kind:
// sequential, and the parallel engine on 1 and on 2 threads, in turn.
void measureSearches(const tavrel::scaling::PassesResult& passes, int repetitions) {
  using namespace tavrel::scaling;
  std::vector<TimedSearch> times[3];
  for (int round = 0; round < repetitions; ++round) {
    times[0].push_back(timeSequential(copyOf(passes.database), passes.minSup));
    times[1].push_back(timeParallel(copyOf(passes.database), passes.minSup, 1));
    times[2].push_back(timeParallel(copyOf(passes.database), passes.minSup, 2));
  }
  reportMeasured(median(times[0]), median(times[1]), median(times[2]), repetitions);
}

// Times the passes on 1 and on 2 threads, in turn, the median of each;
// the report splits them into a serial and a parallel part.
void measurePasses(const std::string& spec, int minSup, int repetitions,
                   tavrel::scaling::ReportOptions& report) {
  std::vector<double> seconds[2];
  for (int round = 0; round < repetitions; ++round) {
    for (int k = 0; k < 2; ++k) {
      seconds[k].push_back(tavrel::scaling::runPasses(spec, minSup, k + 1).seconds);
    }
  }
  for (int k = 0; k < 2; ++k) {
    std::sort(seconds[k].begin(), seconds[k].end());
    report.passesNs[k] = seconds[k][seconds[k].size() / 2] * 1e9;
  }
  std::printf("passes (median of %d): %.3f s on 1 thread, %.3f s on 2\n", repetitions,
              report.passesNs[0] * 1e-9, report.passesNs[1] * 1e-9);
}

// The passes, the measured searches when asked, and the recorded one.
bool recordTree(Arguments& args, CostTree& tree) {
  using namespace tavrel::scaling;
  std::string spec = enterFolderOf(args.spec);
  PassesResult passes = runPasses(spec, args.minSup);
  if (!passes.ok) {
    std::fprintf(stderr, "tavrel-scaling: the strings could not be read\n");
    return false;
  }
  std::printf("%s, min_sup %d: %d edges, passes %.3f s\n", args.spec.c_str(), passes.minSup,
              passes.edges, passes.seconds);
  if (args.measure > 0) {
    measurePasses(spec, args.minSup, args.measure, args.report);
    measureSearches(passes, args.measure);
  }
  double pairTable = timePairTable(passes.database, passes.minSup);
  TimedSearch recorded;
  tree = recordSearch(std::move(passes.database), passes.minSup, args.recorder, recorded);
  tree.label = args.spec + " " + std::to_string(passes.minSup);
  tree.pairTableNs = static_cast<std::uint64_t>(pairTable * 1e9);
  std::printf("recorded search: %.3f s (%.3f s), not running %.3f s (left out of the tree)%s\n",
              recorded.seconds, recorded.cpuSeconds, recorded.notRunningSeconds,
              tree.partial ? " (stopped at the time limit: the tree is PARTIAL)" : "");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args;
  if (!parseArguments(argc, argv, args)) return 2;
  CostTree tree;
  if (!args.replay.empty()) {
    std::ifstream in(args.replay);
    std::string error;
    if (!in || !tavrel::scaling::readCostTree(in, tree, error)) {
      std::fprintf(stderr, "tavrel-scaling: %s: %s\n", args.replay.c_str(),
                   in ? error.c_str() : "cannot be read");
      return 1;
    }
  } else if (!recordTree(args, tree)) {
    return 1;
  }
  if (!args.treeFile.empty()) {
    std::ofstream out(args.treeFile);
    tavrel::scaling::writeCostTree(tree, out);
    if (!out.flush()) {
      std::fprintf(stderr, "tavrel-scaling: %s cannot be written\n", args.treeFile.c_str());
      return 1;
    }
  }
  tavrel::scaling::reportPredictions(tree, args.report);
  return 0;
}
