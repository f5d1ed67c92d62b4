// Fuzz target: the miner's patterns against the brute-force enumerator of
// the tests (tests/search/brute_force.h).
//
// The input is decoded into a small valid database: byte 0 gives min_sup
// (1 + b % 4), byte 1 how many strings the spec file claims beyond those in
// the file (b % 3), then each string is a length byte (1 + b % 6) and that
// many item bytes (b % 8; an item already in the string is left out). At
// most 12 strings. The miner's output is read back and must be a complete
// run whose patterns, supports, numbering, edge order and count agree with
// the enumerator; any difference stops the process.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/miner_output.h"
#include "formats/string_database.h"
#include "fuzz_support.h"
#include "search/brute_force.h"

namespace {

using tavrel::testing::ClosedPattern;
using tavrel::testing::Edge;

[[noreturn]] void fail(const std::string& what, const std::string& db, const std::string& output) {
  std::fprintf(stderr, "%s\n--- database\n%s--- output\n%s---\n", what.c_str(), db.c_str(),
               output.c_str());
  std::abort();
}

std::string readAll(int fd) {
  std::string text;
  char chunk[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;)
    text.append(chunk, static_cast<std::size_t>(got));
  return text;
}

// Reads a complete run's output with the output's reader; false with the
// reason in `error` when the output is malformed or was cut off.
bool parseOutput(const std::string& output, std::vector<ClosedPattern>* patterns,
                 std::vector<std::vector<Edge>>* edgeOrders, std::string* error) {
  tavrel::formats::MinerOutputReader reader;
  reader.lines = tavrel::LineInput::overText(output);
  reader.name = "output";
  tavrel::formats::OutputPattern pattern;
  int status;
  while ((status = tavrel::formats::nextPattern(&reader, &pattern)) > 0) {
    ClosedPattern closed{{}, pattern.support};
    std::vector<Edge> order;
    for (const tavrel::formats::OutputEdge& edge : pattern.edges) {
      closed.edges.insert({edge.from, edge.to});
      order.push_back({edge.from, edge.to});
    }
    patterns->push_back(closed);
    edgeOrders->push_back(order);
  }
  if (status < 0) *error = std::string(reader.failure.message());
  if (status == 0 && !reader.complete) *error = "the output lacks its closing lines";
  return status == 0 && reader.complete;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrel::fuzz;
  if (size < 2) return 0;
  int minSup = 1 + data[0] % 4;
  int extraStrings = data[1] % 3;
  std::vector<std::vector<int>> strings;
  std::size_t at = 2;
  int longest = 1;
  while (at < size && strings.size() < 12) {
    int length = 1 + data[at++] % 6;
    std::vector<int> string;
    for (int k = 0; k < length && at < size; ++k) {
      int item = data[at++] % 8;
      if (std::find(string.begin(), string.end(), item) == string.end()) string.push_back(item);
    }
    if (string.empty()) break;
    longest = std::max(longest, static_cast<int>(string.size()));
    strings.push_back(string);
  }
  std::string db = tavrel::formats::databaseText(strings);
  std::string dbPath = writeWorkFile("db.txt", db);
  std::string specPath =
      writeSpecFile(dbPath, 8, longest,
                    std::max<long long>(1, static_cast<long long>(strings.size()) + extraStrings));

  static const int outputFd = ::memfd_create("tavrel-output", 0);
  if (outputFd < 0 || ::ftruncate(outputFd, 0) != 0 || ::lseek(outputFd, 0, SEEK_SET) != 0)
    std::abort();
  int status = runMiner(specPath, std::to_string(minSup), outputFd);
  std::string output = readAll(outputFd);
  if (status != 0) fail("the run failed", db, output);

  std::vector<ClosedPattern> got;
  std::vector<std::vector<Edge>> edgeOrders;
  std::string error;
  if (!parseOutput(output, &got, &edgeOrders, &error))
    fail("malformed output: " + error, db, output);
  tavrel::testing::BruteForceResult expected =
      tavrel::testing::bruteForceClosedPatterns(strings, minSup);
  std::vector<ClosedPattern> sorted = got;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
    fail("a pattern written twice", db, output);
  if (sorted != expected.patterns) fail("patterns differ from the enumerator's", db, output);
  for (const auto& order : edgeOrders) {
    for (std::size_t k = 1; k < order.size(); ++k) {
      int previous = expected.edgeSupport.at(order[k - 1]);
      int current = expected.edgeSupport.at(order[k]);
      if (previous < current || (previous == current && order[k] < order[k - 1]))
        fail("edges out of order in a pattern", db, output);
    }
  }
  return 0;
}
