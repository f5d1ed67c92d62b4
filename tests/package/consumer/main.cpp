// Mines three strings held in memory through the installed library and
// prints each pattern; the package test compares the lines.
#include <tavrel/tavrel.h>

#include <cstdio>
#include <vector>

namespace {

class PrintingSink : public tavrel::PatternSink {
 public:
  bool take(const tavrel::Pattern& pattern) override {
    std::printf("%d:", pattern.support);
    for (const tavrel::Edge& edge : pattern.edges) std::printf(" %d-%d", edge.before, edge.after);
    std::printf("\n");
    return true;
  }
};

}  // namespace

int main() {
  const std::vector<std::vector<std::int32_t>> strings{{1, 2, 3, 4}, {1, 3, 4}, {1, 2, 4}, {2, 4}};
  tavrel::MineOptions options;
  options.minSup = 2;
  PrintingSink sink;
  tavrel::Status status = tavrel::mine(tavrel::StringSource::strings(strings), options, sink);
  return status.ok() ? 0 : 1;
}
