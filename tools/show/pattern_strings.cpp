#include "show/pattern_strings.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <new>
#include <unordered_map>

#include "base/line_input.h"
#include "base/report.h"
#include "formats/string_database.h"

namespace tavrel::tools {

namespace {

// A batch ends at this many patterns or edges, so memory stays bounded
// whatever the number of patterns chosen.
constexpr std::size_t kBatchPatterns = 100000;
constexpr std::size_t kBatchEdges = 1000000;

// Checks what can be checked before the pass: every item within the
// database's item count.
Result checkItems(const StringsSource& source, std::span<const Pattern> patterns) {
  for (const Pattern& pattern : patterns) {
    for (const Edge& edge : pattern.edges) {
      int item = std::max(edge.from, edge.to);
      if (item >= source.spec.totalItems) {
        return Result::failure("pattern " + std::to_string(pattern.number) + " has item " +
                               std::to_string(item) + ", but " + source.databasePath + " has " +
                               std::to_string(source.spec.totalItems) +
                               " items: another item count, not the database of this output");
      }
    }
  }
  return Result();
}

// Compares the database's fingerprint with the one `file` was written for.
Result checkFingerprint(const DatabaseFingerprint& found,
                        const std::optional<DatabaseFingerprint>& want, const std::string& file,
                        const std::string& database) {
  if (!want || (want->strings == found.strings && want->crc32 == found.crc32)) return Result();
  return Result::failure(database + " has a different fingerprint (" +
                         fingerprintLine(found).substr(2) + ") from the one " + file +
                         " was written for (" + fingerprintLine(*want).substr(2) +
                         "): not the database of this output");
}

// Checks the batch against what the pass found.
Result checkFound(const StringsSource& source, std::span<const Pattern> patterns,
                  const std::vector<std::vector<int>>& lines, const DatabaseFingerprint& found) {
  const std::string& db = source.databasePath;
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    const Pattern& pattern = patterns[k];
    if (pattern.support > found.strings) {
      return Result::failure(db + " has " + std::to_string(found.strings) +
                             " strings, fewer than the support " + std::to_string(pattern.support) +
                             " of pattern " + std::to_string(pattern.number) +
                             ": not the database of this output");
    }
  }
  Result same = source.cases
                    ? checkFingerprint(found, source.cases->fingerprint, source.casesPath, db)
                    : Result();
  if (same.ok() && source.table != nullptr) {
    same = checkFingerprint(found, source.table->fingerprint, source.tablePath, db);
  }
  if (!same.ok()) return same;
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    if (static_cast<int>(lines[k].size()) != patterns[k].support) {
      return Result::failure(std::to_string(lines[k].size()) + " strings of " + db +
                             " hold pattern " + std::to_string(patterns[k].number) +
                             ", whose support is " + std::to_string(patterns[k].support) +
                             ": not the database of this output");
    }
  }
  if (source.cases && source.cases->cases.size() != static_cast<std::size_t>(found.strings)) {
    return Result::failure(source.casesPath + " lists " +
                           std::to_string(source.cases->cases.size()) + " strings, " + db +
                           " has " + std::to_string(found.strings));
  }
  return Result();
}

}  // namespace

StringMatcher::StringMatcher(std::span<const Pattern> patterns, int totalItems)
    : position_(static_cast<std::size_t>(totalItems), -1), rows_(patterns.size()) {
  std::unordered_map<long long, int> seen;
  for (const Pattern& pattern : patterns) {
    std::vector<int>& mine = ofPattern_.emplace_back();
    for (const Edge& edge : pattern.edges) {
      long long key = static_cast<long long>(edge.from) * totalItems + edge.to;
      auto [at, added] = seen.try_emplace(key, static_cast<int>(edges_.size()));
      if (added) edges_.push_back(edge);
      mine.push_back(at->second);
    }
  }
  bits_.assign(edges_.size() * kWords, 0);
  blockRows_.reserve(kBlockStrings);
}

void StringMatcher::match(std::span<const int> items, int row) {
  for (std::size_t k = 0; k < items.size(); ++k) {
    position_[static_cast<std::size_t>(items[k])] = static_cast<int>(k);
  }
  std::size_t bit = blockRows_.size();
  std::uint64_t mask = std::uint64_t{1} << (bit % 64);
  for (std::size_t e = 0; e < edges_.size(); ++e) {
    int from = position_[static_cast<std::size_t>(edges_[e].from)];
    int to = position_[static_cast<std::size_t>(edges_[e].to)];
    if (from >= 0 && to >= 0 && from < to) bits_[e * kWords + bit / 64] |= mask;
  }
  for (int item : items) position_[static_cast<std::size_t>(item)] = -1;
  blockRows_.push_back(row);
  if (blockRows_.size() == kBlockStrings) flush();
}

void StringMatcher::flush() {
  std::size_t words = (blockRows_.size() + 63) / 64;
  for (std::size_t k = 0; k < ofPattern_.size(); ++k) {
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t all = w + 1 < words || blockRows_.size() % 64 == 0
                              ? ~std::uint64_t{0}
                              : (std::uint64_t{1} << (blockRows_.size() % 64)) - 1;
      for (int e : ofPattern_[k]) all &= bits_[static_cast<std::size_t>(e) * kWords + w];
      for (; all != 0; all &= all - 1) {
        rows_[k].push_back(blockRows_[w * 64 + static_cast<std::size_t>(std::countr_zero(all))]);
      }
    }
  }
  std::fill(bits_.begin(), bits_.end(), 0);
  blockRows_.clear();
}

Result openStringsSource(const std::string& specPath, StringsSource* source) {
  Result read = formats::readSpecFile(specPath.c_str(), &source->spec);
  if (!read.ok()) {
    std::string message = specPath + ": " + std::string(read.message());
    while (!message.empty() && message.back() == '\n') message.pop_back();
    return Result::failure(message);
  }
  Report report;
  source->databasePath = formats::locateDatabase(specPath, source->spec.databaseName, report);
  std::string base = source->databasePath;
  if (base.size() > 3 && base.ends_with(".db")) base.resize(base.size() - 3);
  source->casesPath = base + ".cases.tsv";
  source->cases.reset();
  if (::access(source->casesPath.c_str(), F_OK) == 0) {
    CaseTable cases;
    Result cased = readCaseTable(source->casesPath, &cases);
    if (!cased.ok()) return cased;
    source->cases = std::move(cases);
  }
  return Result();
}

Result findStrings(const StringsSource& source, std::span<const Pattern> patterns,
                   std::vector<std::vector<int>>* lines) {
  Result checked = checkItems(source, patterns);
  if (!checked.ok()) return checked;
  const formats::SpecFile& spec = source.spec;
  LineInput input;
  Result opened = input.open(source.databasePath, false);
  if (!opened.ok()) return opened;
  StringMatcher matcher(patterns, static_cast<int>(spec.totalItems));
  std::vector<int> seen(static_cast<std::size_t>(spec.totalItems), 0);
  std::vector<int> items(static_cast<std::size_t>(spec.maxItemLength));
  formats::StringRules rules{static_cast<int>(spec.totalItems),
                             static_cast<int>(spec.maxItemLength), seen.data()};
  uLong crc = crc32(0L, Z_NULL, 0);
  int row = 0;
  LineView line;
  int status;
  while (row < spec.stringCount && (status = input.readLine(&line)) > 0) {
    crc = crc32(crc, reinterpret_cast<const Bytef*>(line.text), static_cast<uInt>(line.length));
    int count = 0;
    if (formats::parseStringLine(line, row + 1, rules, items.data(), &count) != formats::kLineOk) {
      return Result::failure(source.databasePath + ":" + std::to_string(row + 1) +
                             ": defective string");
    }
    matcher.match(std::span<const int>(items.data(), static_cast<std::size_t>(count)), row);
    ++row;
  }
  if (input.failure().isOutOfMemory()) throw std::bad_alloc();
  if (!input.failure().ok()) {
    return Result::failure("cannot read " + source.databasePath + ": " +
                           std::string(input.failure().message()));
  }
  *lines = std::move(matcher.rows());
  return checkFound(source, patterns, *lines, {row, static_cast<std::uint32_t>(crc)});
}

std::string stringId(const StringsSource& source, int line) {
  return source.cases ? source.cases->cases[static_cast<std::size_t>(line)]
                      : std::to_string(line + 1);
}

Result StringsBatch::add(const Pattern& pattern) {
  patterns_.push_back(pattern);
  edges_ += pattern.edges.size();
  return patterns_.size() >= kBatchPatterns || edges_ >= kBatchEdges ? flush() : Result();
}

Result StringsBatch::flush() {
  std::vector<std::vector<int>> lines;
  if (!patterns_.empty()) {
    Result found = findStrings(*source_, patterns_, &lines);
    if (!found.ok()) return found;
  }
  for (std::size_t k = 0; k < patterns_.size(); ++k) put_(patterns_[k], lines[k]);
  patterns_.clear();
  edges_ = 0;
  return Result();
}

}  // namespace tavrel::tools
