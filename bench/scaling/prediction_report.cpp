#include "scaling/prediction_report.h"

#include <algorithm>
#include <cstdio>

namespace tavrel::scaling {

namespace {

void reportTree(const CostTree& tree, const TreeLimits& limits, double writerNs) {
  std::uint64_t patterns = tree.root.patterns;
  std::printf("tree%s: %s\n", tree.partial ? " (PARTIAL: the search was stopped)" : "",
              tree.label.c_str());
  std::printf("  %llu steps, %llu patterns, %zu nodes, threshold %.1f us, %.1f bytes a pattern\n",
              static_cast<unsigned long long>(tree.steps),
              static_cast<unsigned long long>(patterns), tree.nodes.size() + 1,
              static_cast<double>(tree.thresholdNs) * 1e-3, tree.recordBytes);
  std::printf(
      "  search %.3f s, of which set-up (top frame) %.3f s, its pair table %.3f s; "
      "a cursor over the top frame (each split there) %.3f ms\n",
      limits.totalNs * 1e-9, limits.setupNs * 1e-9, static_cast<double>(tree.pairTableNs) * 1e-9,
      static_cast<double>(tree.root.openTime) * 1e-6);
  std::printf(
      "  critical path %.3f s (speed-up at most %.1f), largest step %.3f ms, "
      "largest leaf %.3f ms\n",
      limits.criticalPathNs * 1e-9, limits.totalNs / std::max(1.0, limits.criticalPathNs),
      limits.largestStepNs * 1e-6, limits.largestLeafNs * 1e-6);
  double writer = static_cast<double>(tree.root.patterns) * writerNs;
  // The set-up's serial part, then the writer.
  std::printf("  ordered writer: %.0f ns a pattern, %.3f s in all (speed-up at most %.1f)\n",
              writerNs, writer * 1e-9,
              limits.totalNs / std::max(1.0, setupOn(tree, 1 << 30) + writer));
}

// The search on `cores` workers of one node, at least as long as the
// set-up and then the ordered writer taking every pattern in turn.
double withWriter(const CostTree& tree, const ReportOptions& options, int cores, double simulated) {
  double writer = static_cast<double>(tree.root.patterns) * options.writerNs;
  return std::max(simulated, setupOn(tree, cores) + writer);
}

// The passes on P threads: the serial and the shared part that their times
// on 1 and 2 threads imply (t1 = s + q, t2 = s + q / 2).
double passesOn(const ReportOptions& options, int threads) {
  double one = options.passesNs[0];
  double shared = std::clamp(2 * (one - options.passesNs[1]), 0.0, one);
  return one - shared + shared / std::max(1, threads);
}

void reportMachine(const CostTree& tree, const ReportOptions& options, double total) {
  bool whole = options.passesNs[0] > 0;
  std::printf("one machine (split %.1f us + opening the cursor, wake %.1f us):\n",
              options.machine.splitNs * 1e-3, options.machine.wakeNs * 1e-3);
  if (whole) {
    std::printf("  passes %.3f s on 1 thread, %.3f s on 2: serial part %.3f s\n",
                options.passesNs[0] * 1e-9, options.passesNs[1] * 1e-9,
                passesOn(options, 1 << 30) * 1e-9);
  }
  std::printf("  %6s %10s %9s %9s %8s %7s", "P", "search s", "speed-up", "of linear", "splits",
              "idle");
  std::printf(whole ? " %10s %9s %9s\n" : "\n", "run s", "speed-up", "of linear");
  double runOnOne = passesOn(options, 1) + total;
  for (int p : options.workers) {
    MachineModel machine = options.machine;
    machine.nodes = 1;
    machine.coresPerNode = p;
    Prediction predicted = simulate(tree, machine);
    double search = withWriter(tree, options, p, predicted.totalNs);
    double speedUp = total / search;
    double idleShare = predicted.idleNs / (p * std::max(1.0, predicted.computeNs));
    std::printf("  %6d %10.3f %9.2f %8.0f%% %8lld %6.1f%%", p, search * 1e-9, speedUp,
                100 * speedUp / p, predicted.splits, 100 * idleShare);
    if (!whole) {
      std::printf("\n");
      continue;
    }
    double run = passesOn(options, p) + search;
    std::printf(" %10.3f %9.2f %8.0f%%\n", run * 1e-9, runOnOne / run, 100 * runOnOne / run / p);
  }
}

void reportCluster(const CostTree& tree, const ReportOptions& options, double total) {
  if (options.nodes.empty()) return;
  MachineModel machine = options.machine;
  machine.coresPerNode = options.cores;
  machine.recordBytes = options.recordBytes > 0 ? options.recordBytes : tree.recordBytes;
  std::printf(
      "cluster of %d-core nodes (latency %.1f us, %.3g bytes/s into node 0, "
      "%.1f bytes a pattern):\n",
      options.cores, machine.latencyNs * 1e-3, machine.bandwidth, machine.recordBytes);
  std::printf("  %6s %8s %10s %9s %9s %8s %9s %10s %11s %8s\n", "nodes", "workers", "time s",
              "speed-up", "of linear", "sent", "refusals", "rebuilt s", "MB to 0", "link s");
  for (int n : options.nodes) {
    machine.nodes = n;
    Prediction predicted = simulate(tree, machine);
    int workers = n * options.cores;
    double speedUp = total / withWriter(tree, options, options.cores, predicted.totalNs);
    double link = machine.bandwidth > 0 ? predicted.remoteBytes / machine.bandwidth : 0;
    std::printf("  %6d %8d %10.3f %9.2f %8.0f%% %8lld %9lld %10.3f %11.1f %8.3f\n", n, workers,
                total / speedUp * 1e-9, speedUp, 100 * speedUp / workers, predicted.remotePieces,
                predicted.refusals, predicted.rebuildNs * 1e-9, predicted.remoteBytes * 1e-6, link);
  }
}

}  // namespace

void reportMeasured(const TimedSearch& sequential, const TimedSearch& one, const TimedSearch& two,
                    int repetitions) {
  std::printf("measured (median of %d; processor time in brackets):\n", repetitions);
  std::printf("  sequential search %.3f s (%.3f s), %lld patterns\n", sequential.seconds,
              sequential.cpuSeconds, sequential.patterns);
  // The engine's workers idle while others work, or off their cores while
  // the machine is busy: the idle time tells the two apart.
  std::printf("  parallel engine, 1 thread: %.3f s (%.3f s), %lld splits, idle %.3f s\n",
              one.seconds, one.cpuSeconds, one.splits, one.idleSeconds);
  std::printf("  parallel engine, 2 threads: %.3f s (%.3f s), %lld splits, idle %.3f s\n",
              two.seconds, two.cpuSeconds, two.splits, two.idleSeconds);
  std::printf("  speed-up of 2 threads: %.2f over 1 thread, %.2f over the sequential search\n",
              one.seconds / two.seconds, sequential.seconds / two.seconds);
}

void reportPredictions(const CostTree& tree, const ReportOptions& options) {
  TreeLimits limits = limitsOf(tree);
  reportTree(tree, limits, options.writerNs);
  reportMachine(tree, options, limits.totalNs);
  reportCluster(tree, options, limits.totalNs);
}

}  // namespace tavrel::scaling
