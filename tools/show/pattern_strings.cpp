#include "show/pattern_strings.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
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

// The edges of a batch, each once, and each pattern's edges as indices
// into them.
struct BatchEdges {
  std::vector<Edge> edges;
  std::vector<std::vector<int>> ofPattern;
};

BatchEdges indexEdges(std::span<const Pattern> patterns, int totalItems) {
  BatchEdges batch;
  std::vector<int> index;  // by from * totalItems + to, filled on demand
  std::unordered_map<long long, int> seen;
  for (const Pattern& pattern : patterns) {
    std::vector<int>& mine = batch.ofPattern.emplace_back();
    for (const Edge& edge : pattern.edges) {
      long long key = static_cast<long long>(edge.from) * totalItems + edge.to;
      auto [at, added] = seen.try_emplace(key, static_cast<int>(batch.edges.size()));
      if (added) batch.edges.push_back(edge);
      mine.push_back(at->second);
    }
  }
  return batch;
}

// Checks what can be checked before the pass: every item within the
// database's item count.
int checkItems(const StringsSource& source, std::span<const Pattern> patterns, std::string* error) {
  for (const Pattern& pattern : patterns) {
    for (const Edge& edge : pattern.edges) {
      int item = std::max(edge.from, edge.to);
      if (item >= source.spec.totalItems) {
        *error = "pattern " + std::to_string(pattern.number) + " has item " + std::to_string(item) +
                 ", but " + source.databasePath + " has " + std::to_string(source.spec.totalItems) +
                 " items: another item count, not the database of this output";
        return -1;
      }
    }
  }
  return 0;
}

// Compares the database's fingerprint with the one `file` was written for.
int checkFingerprint(const DatabaseFingerprint& found,
                     const std::optional<DatabaseFingerprint>& want, const std::string& file,
                     const std::string& database, std::string* error) {
  if (!want || (want->strings == found.strings && want->crc32 == found.crc32)) return 0;
  *error = database + " has a different fingerprint (" + fingerprintLine(found).substr(2) +
           ") from the one " + file + " was written for (" + fingerprintLine(*want).substr(2) +
           "): not the database of this output";
  return -1;
}

// Checks the batch against what the pass found.
int checkFound(const StringsSource& source, std::span<const Pattern> patterns,
               const std::vector<std::vector<int>>& lines, const DatabaseFingerprint& found,
               std::string* error) {
  const std::string& db = source.databasePath;
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    const Pattern& pattern = patterns[k];
    if (pattern.support > found.strings) {
      *error = db + " has " + std::to_string(found.strings) + " strings, fewer than the support " +
               std::to_string(pattern.support) + " of pattern " + std::to_string(pattern.number) +
               ": not the database of this output";
      return -1;
    }
  }
  if (source.cases &&
      checkFingerprint(found, source.cases->fingerprint, source.casesPath, db, error) != 0) {
    return -1;
  }
  if (source.table != nullptr &&
      checkFingerprint(found, source.table->fingerprint, source.tablePath, db, error) != 0) {
    return -1;
  }
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    if (static_cast<int>(lines[k].size()) != patterns[k].support) {
      *error = std::to_string(lines[k].size()) + " strings of " + db + " hold pattern " +
               std::to_string(patterns[k].number) + ", whose support is " +
               std::to_string(patterns[k].support) + ": not the database of this output";
      return -1;
    }
  }
  if (source.cases && source.cases->cases.size() != static_cast<std::size_t>(found.strings)) {
    *error = source.casesPath + " lists " + std::to_string(source.cases->cases.size()) +
             " strings, " + db + " has " + std::to_string(found.strings);
    return -1;
  }
  return 0;
}

// Adds line `row` to the patterns of the batch whose edges the string
// with item positions `position` holds.
void matchString(const BatchEdges& batch, const std::vector<int>& position, int row,
                 std::vector<char>* holds, std::vector<std::vector<int>>* lines) {
  for (std::size_t e = 0; e < batch.edges.size(); ++e) {
    int from = position[static_cast<std::size_t>(batch.edges[e].from)];
    int to = position[static_cast<std::size_t>(batch.edges[e].to)];
    (*holds)[e] = from >= 0 && to >= 0 && from < to;
  }
  for (std::size_t k = 0; k < batch.ofPattern.size(); ++k) {
    const std::vector<int>& edges = batch.ofPattern[k];
    if (std::all_of(edges.begin(), edges.end(),
                    [&](int e) { return (*holds)[static_cast<std::size_t>(e)] != 0; })) {
      (*lines)[k].push_back(row);
    }
  }
}

}  // namespace

int openStringsSource(const std::string& specPath, StringsSource* source, std::string* error) {
  Report report;
  if (formats::readSpecFile(specPath.c_str(), &source->spec, report) != 0) {
    *error = specPath + ": " + std::string(report.toStatus().message());
    while (!error->empty() && error->back() == '\n') error->pop_back();
    return -1;
  }
  source->databasePath = formats::locateDatabase(specPath, source->spec.databaseName, report);
  std::string base = source->databasePath;
  if (base.size() > 3 && base.ends_with(".db")) base.resize(base.size() - 3);
  source->casesPath = base + ".cases.tsv";
  source->cases.reset();
  if (::access(source->casesPath.c_str(), F_OK) == 0) {
    CaseTable cases;
    if (readCaseTable(source->casesPath, &cases, error) != 0) return -1;
    source->cases = std::move(cases);
  }
  return 0;
}

int findStrings(const StringsSource& source, std::span<const Pattern> patterns,
                std::vector<std::vector<int>>* lines, std::string* error) {
  if (checkItems(source, patterns, error) != 0) return -1;
  const formats::SpecFile& spec = source.spec;
  LineInput input;
  Result opened = input.open(source.databasePath, false);
  if (!opened.ok()) {
    *error = std::string(opened.message());
    return -1;
  }
  BatchEdges batch = indexEdges(patterns, static_cast<int>(spec.totalItems));
  lines->assign(patterns.size(), {});
  std::vector<int> seen(static_cast<std::size_t>(spec.totalItems), 0);
  std::vector<int> position(static_cast<std::size_t>(spec.totalItems), -1);
  std::vector<int> items(static_cast<std::size_t>(spec.maxItemLength));
  std::vector<char> holds(batch.edges.size());
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
      *error = source.databasePath + ":" + std::to_string(row + 1) + ": defective string";
      return -1;
    }
    for (int k = 0; k < count; ++k) position[static_cast<std::size_t>(items[k])] = k;
    matchString(batch, position, row, &holds, lines);
    for (int k = 0; k < count; ++k) position[static_cast<std::size_t>(items[k])] = -1;
    ++row;
  }
  if (input.failure().isOutOfMemory()) throw std::bad_alloc();
  if (!input.failure().ok()) {
    *error = "cannot read " + source.databasePath + ": " + std::string(input.failure().message());
    return -1;
  }
  return checkFound(source, patterns, *lines, {row, static_cast<std::uint32_t>(crc)}, error);
}

std::string stringId(const StringsSource& source, int line) {
  return source.cases ? source.cases->cases[static_cast<std::size_t>(line)]
                      : std::to_string(line + 1);
}

int StringsBatch::add(const Pattern& pattern, std::string* error) {
  patterns_.push_back(pattern);
  edges_ += pattern.edges.size();
  return patterns_.size() >= kBatchPatterns || edges_ >= kBatchEdges ? flush(error) : 0;
}

int StringsBatch::flush(std::string* error) {
  std::vector<std::vector<int>> lines;
  if (!patterns_.empty() && findStrings(*source_, patterns_, &lines, error) != 0) return -1;
  for (std::size_t k = 0; k < patterns_.size(); ++k) put_(patterns_[k], lines[k]);
  patterns_.clear();
  edges_ = 0;
  return 0;
}

}  // namespace tavrel::tools
