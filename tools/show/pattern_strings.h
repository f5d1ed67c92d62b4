// The strings behind patterns: which strings of the database hold each
// pattern, found in one pass over the database for a whole batch of
// patterns. A string holds a pattern when it holds every edge, and an edge
// (a, b) when item a stands anywhere before item b. The database is the
// one a spec file names, read by the miner's own reader; a case table
// (<name>.cases.tsv) beside it gives the strings their case ids.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/case_table.h"
#include "common/item_table.h"
#include "formats/spec_file.h"
#include "show/pattern.h"

namespace tavrel::tools {

struct StringsSource {
  std::string databasePath;
  formats::SpecFile spec;
  std::optional<CaseTable> cases;  // when a case table lies beside the database
  std::string casesPath;
  const ItemTable* table = nullptr;  // --items, whose fingerprint is checked too
  std::string tablePath;
};

// Reads the spec file and the case table beside the database it names
// (<database without .db>.cases.tsv, when there is one). Fails with a
// message.
Result openStringsSource(const std::string& specPath, StringsSource* source);

// Finds, in one pass over the database, the strings (database lines from
// 0, ascending) that hold each of `patterns`. Fails with a message when the database is not the one
// of the output: a pattern's item outside its item count, fewer strings than a pattern's support, a
// fingerprint (of the case table or the item table) other than its own,
// or a pattern held by a number of strings other than its support; or
// when a line is defective.
Result findStrings(const StringsSource& source, std::span<const Pattern> patterns,
                   std::vector<std::vector<int>>* lines);

// The identifier of database line `line` (from 0): its case id when the
// case table gives one, otherwise its line number (from 1).
std::string stringId(const StringsSource& source, int line);

// Finds which strings hold each of a batch of patterns, one string at a
// time: each string is read once, whatever the number of patterns. Per
// block of kBlockStrings strings, each edge of the batch gets a bitset of
// the strings that hold it, and a pattern's strings are the AND of its
// edges' bitsets, a machine word (64 strings) at a time.
class StringMatcher {
 public:
  static constexpr std::size_t kBlockStrings = 4096;
  // `patterns` must stay valid while matching; their items lie below
  // `totalItems`.
  StringMatcher(std::span<const Pattern> patterns, int totalItems);
  // Adds `row` to the rows of every pattern that the string `items`
  // (distinct item numbers below totalItems) holds.
  void match(std::span<const int> items, int row);
  // The rows added, per pattern, in the order they were matched.
  std::vector<std::vector<int>>& rows() {
    flush();
    return rows_;
  }

 private:
  static constexpr std::size_t kWords = kBlockStrings / 64;
  // Adds the block's strings to the patterns that they hold.
  void flush();

  std::vector<Edge> edges_;                  // the batch's edges, each once
  std::vector<std::vector<int>> ofPattern_;  // each pattern's edges, as indices
  std::vector<int> position_;                // by item: its place in the string, or -1
  std::vector<std::uint64_t> bits_;          // kWords per edge: the block's strings that hold it
  std::vector<int> blockRows_;               // the rows of the block's strings
  std::vector<std::vector<int>> rows_;
};

// Collects patterns and hands each on with its strings, a batch at a time.
class StringsBatch {
 public:
  using Put = std::function<void(const Pattern&, const std::vector<int>&)>;
  StringsBatch(const StringsSource* source, Put put) : source_(source), put_(std::move(put)) {}
  // Takes a pattern; a full batch is looked up and handed on. Fails with
  // a message.
  Result add(const Pattern& pattern);
  // Looks up and hands on the patterns still held. Fails with a message.
  Result flush();

 private:
  const StringsSource* source_;
  Put put_;
  std::vector<Pattern> patterns_;
  std::size_t edges_ = 0;
};

}  // namespace tavrel::tools
