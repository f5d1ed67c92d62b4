// Fuzz target: the whole miner on arbitrary database bytes.
//
// The first four bytes of the input choose the spec file's sizes and the
// minimum support, the rest is the database file as it is:
//   byte 0: total items     1 + b % 64
//   byte 1: max item length 1 + b % 16
//   byte 2: number of strings 1 + b % 16; from 0xF0 on, 2147483647 when the
//           database has at most 16 line ends (a count far above the file)
//   byte 3: min_sup         1 + b % 8
// The sizes are kept small so that every run is quick: at most 17 strings
// are read, so a run writes at most 2^17 patterns. Output goes to
// /dev/null; what is checked is that no input makes the miner crash, leak,
// touch memory it does not own, or return anything but 0 or -1.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavrel::fuzz;
  if (size < 4) return 0;
  std::string_view db(reinterpret_cast<const char*>(data) + 4, size - 4);
  long long totalItems = 1 + data[0] % 64;
  long long maxItemLength = 1 + data[1] % 16;
  long long stringCount = 1 + data[2] % 16;
  if (data[2] >= 0xF0 && std::count(db.begin(), db.end(), '\n') <= 16) stringCount = 2147483647;
  std::string minSup = std::to_string(1 + data[3] % 8);

  std::string dbPath = writeWorkFile("db.txt", db);
  std::string specPath = writeSpecFile(dbPath, totalItems, maxItemLength, stringCount);
  runMiner(specPath, minSup, nullDescriptor());
  return 0;
}
