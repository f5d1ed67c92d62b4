// Fuzz target: the whole miner on arbitrary spec file bytes.
//
// The input is the spec file. Its first line may name one of the files that
// lie beside it in the target's folder: "d" (a good database), "e" (an empty
// one), "x" (one with a defective line) or "s" (a folder). Names holding a
// '/' are skipped, so that no run reads outside the folder, and so are spec
// files whose numbers exceed 100000 (such sizes only make the miner allocate
// more; what happens when memory runs out is tested on its own). min_sup is
// 2. Output goes to /dev/null.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/decimal.h"
#include "base/input_file.h"
#include "fuzz_support.h"

namespace {

using namespace tavrel::fuzz;

// True when the spec file at `path` keeps to the bounds above, judged on the
// lines as the miner's own reader splits them.
bool withinBounds(const std::string& path) {
  tavrel::InputFile file;
  tavrel::Report report;
  if (!file.open(path, "r", false, report)) std::abort();
  bool ok = true;
  tavrel::LineView line;
  for (int k = 0; k < 4 && ok && file.readLine(&line, report) > 0; ++k) {
    if (k == 0) {
      ok = std::memchr(line.text, '/', line.length) == nullptr;
    } else {
      long long value = tavrel::convertDecimal(line.text, line.length, 0).value;
      ok = value <= 100000;
    }
  }
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  writeWorkFile("d", "3 0 1 2\n2 1 2\n3 2 0 1\n4 0 3 1 2\n");
  writeWorkFile("e", "");
  writeWorkFile("x", "2 0 1\n2 1 1\n");
  ::mkdir((workDir() + "/s").c_str(), 0700);
  if (::chdir(workDir().c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string specPath =
      writeWorkFile("fuzz.spec", std::string_view(reinterpret_cast<const char*>(data), size));
  if (!withinBounds(specPath)) return 0;
  runMiner(specPath, "2", nullDescriptor());
  return 0;
}
