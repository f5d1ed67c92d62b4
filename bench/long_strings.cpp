// tavrel-long-strings: writes a database of long strings that follow one
// hidden total order with noise, like a process whose steps mostly keep
// their order.
//
//   tavrel-long-strings FOLDER STRINGS LENGTH [SEED]
//
// Each of the STRINGS strings holds all LENGTH items 0 .. LENGTH - 1, sorted
// by rank plus Gaussian noise of standard deviation LENGTH / 10 (the rank of
// item k is k). Writes FOLDER/db.txt and FOLDER/spec.txt (whose line 1 is
// db.txt, so run the miner from inside the folder). The same arguments give
// the same bytes on every machine: the noise comes from a fixed generator
// (splitmix64) and the Box-Muller transform, not from the standard
// library's distributions, whose results differ between implementations.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "formats/spec_file.h"
#include "formats/string_database.h"

namespace {

struct SplitMix64 {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in (0, 1]: never 0, so that its logarithm is finite.
  double uniform() { return (static_cast<double>(next() >> 11) + 1.0) * 0x1.0p-53; }
};

// A standard normal deviate (one of the Box-Muller pair; the other is
// dropped so that each draw uses the same two uniforms).
double gaussian(SplitMix64& random) {
  double radius = std::sqrt(-2.0 * std::log(random.uniform()));
  return radius * std::cos(2.0 * M_PI * random.uniform());
}

bool parseCount(const char* text, long* value) {
  char* end = nullptr;
  errno = 0;
  *value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && *value >= 1 && *value <= 100000000;
}

}  // namespace

int main(int argc, char** argv) {
  long strings = 0, length = 0, seed = 1;
  if (argc < 4 || argc > 5 || !parseCount(argv[2], &strings) || !parseCount(argv[3], &length) ||
      (argc == 5 && !parseCount(argv[4], &seed))) {
    std::fprintf(stderr, "usage: tavrel-long-strings FOLDER STRINGS LENGTH [SEED]\n");
    return 2;
  }
  std::string folder = argv[1];
  if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    std::perror(folder.c_str());
    return 1;
  }
  std::FILE* db = std::fopen((folder + "/db.txt").c_str(), "w");
  std::FILE* spec = std::fopen((folder + "/spec.txt").c_str(), "w");
  if (db == nullptr || spec == nullptr) {
    std::perror(folder.c_str());
    return 1;
  }
  SplitMix64 random{static_cast<std::uint64_t>(seed)};
  double deviation = static_cast<double>(length) / 10.0;
  std::vector<std::pair<double, int>> keyed(static_cast<std::size_t>(length));
  std::vector<int> items(keyed.size());
  for (long s = 0; s < strings; ++s) {
    for (int item = 0; item < length; ++item) {
      keyed[item] = {item + deviation * gaussian(random), item};
    }
    std::sort(keyed.begin(), keyed.end());
    for (std::size_t k = 0; k < keyed.size(); ++k) items[k] = keyed[k].second;
    std::fputs(tavrel::formats::stringLine(items).c_str(), db);
  }
  std::fputs(tavrel::formats::specFileText({"db.txt", length, length, strings}).c_str(), spec);
  bool ok = std::fclose(db) == 0;
  ok = std::fclose(spec) == 0 && ok;
  if (!ok) {
    std::perror(folder.c_str());
    return 1;
  }
  return 0;
}
