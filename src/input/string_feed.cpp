#include "input/string_feed.h"

#include <algorithm>
#include <climits>
#include <new>
#include <string>

#include "base/input_file.h"
#include "formats/spec_file.h"
#include "formats/string_database.h"

namespace tavrel {

namespace {

// Strings gathered as the first pass reads them, for the passes after it.
struct StringCache {
  Buffer<int> items;
  Buffer<std::size_t> offsets;
  std::size_t next = 0;

  bool start() {
    next = 0;
    return offsets.empty() ? offsets.push(0) : true;
  }
  bool add(const int* string, int count) {
    return items.append(string, static_cast<std::size_t>(count)) && offsets.push(items.size());
  }
  int take(StringView* string) {
    if (next + 1 >= offsets.size()) return 0;
    *string = at(next++);
    return 1;
  }
  std::size_t count() const { return offsets.empty() ? 0 : offsets.size() - 1; }
  StringView at(std::size_t k) const {
    return StringView{items.data() + offsets[k], static_cast<int>(offsets[k + 1] - offsets[k])};
  }
};

// The database file: the first pass reads at most stringCount lines and
// checks each one; the strings are kept, so the later passes read them
// from memory.
class FileFeed : public StringFeed {
 public:
  int startPass(RunState& run) override {
    ++pass_;
    if (pass_ > 1) return cache_.start() ? 0 : run.report.outOfMemory();
    if (!file_.open(run.stringDbFilename, "r", true, run.report)) return -1;
    rules_.totalItems = run.totalItems;
    rules_.maxItemLength = run.maxItemLength;
    if (!items_.resize(static_cast<std::size_t>(run.maxItemLength)) ||
        !seenInRow_.assign(static_cast<std::size_t>(run.totalItems), 0) || !cache_.start()) {
      return run.report.outOfMemory();
    }
    rules_.seenInRow = seenInRow_.data();
    return 0;
  }

  std::size_t stringCount() const override { return cache_.count(); }
  StringView at(std::size_t k) const override { return cache_.at(k); }

  int next(RunState& run, StringView* string) override {
    if (pass_ > 1) return cache_.take(string);
    if (row_ >= run.stringCount) return finishReading();
    LineView line;
    int status = file_.readLine(&line, run.report);
    if (status == 0) return finishReading();
    if (status < 0) return -1;
    ++row_;
    int count = 0;
    formats::LineDefect defect =
        formats::parseStringLine(line, row_, rules_, items_.data(), &count);
    if (defect != formats::kLineOk) {
      formats::reportDefectiveLine(run.report, row_, defect, line);
      return -1;
    }
    if (!cache_.add(items_.data(), count)) return run.report.outOfMemory();
    string->items = items_.data();
    string->count = count;
    return 1;
  }

 private:
  int finishReading() {
    items_.release();
    seenInRow_.release();
    return 0;
  }

  int pass_ = 0;
  int row_ = 0;
  InputFile file_;
  formats::StringRules rules_;
  Buffer<int> items_;
  Buffer<int> seenInRow_;
  StringCache cache_;
};

// Strings in memory, flat or as a list of sequences.
class MemoryFeed : public StringFeed {
 public:
  explicit MemoryFeed(const StringSource& source) : source_(source) {}

  // The sizes of the strings, set in the run.
  int measure(RunState& run) {
    std::size_t longest = 0;
    long long largest = -1;
    for (std::size_t k = 0; k < source_.count(); ++k) {
      StringView string = at(k);
      longest = std::max(longest, static_cast<std::size_t>(string.count));
      for (int i = 0; i < string.count; ++i)
        largest = std::max<long long>(largest, string.items[i]);
    }
    long long items = source_.totalItems() > 0 ? source_.totalItems() : largest + 1;
    run.totalItems = static_cast<int>(std::clamp<long long>(items, 1, INT_MAX));
    run.maxItemLength = static_cast<int>(std::clamp<std::size_t>(longest, 1, INT_MAX));
    run.stringCount = static_cast<int>(std::min<std::size_t>(source_.count(), INT_MAX));
    return 0;
  }

  int startPass(RunState& run) override {
    ++pass_;
    next_ = 0;
    if (pass_ > 1) return 0;
    rules_.totalItems = run.totalItems;
    rules_.maxItemLength = run.maxItemLength;
    if (!seenInRow_.assign(static_cast<std::size_t>(run.totalItems), 0)) {
      return run.report.outOfMemory();
    }
    rules_.seenInRow = seenInRow_.data();
    return 0;
  }

  int next(RunState& run, StringView* string) override {
    if (next_ >= static_cast<std::size_t>(run.stringCount)) return 0;
    *string = at(next_++);
    if (pass_ > 1) return 1;
    int row = static_cast<int>(next_);
    formats::LineDefect defect =
        formats::checkString(string->items, static_cast<std::size_t>(string->count), row, rules_);
    if (defect == formats::kLineOk) return 1;
    formats::reportDefectiveLine(run.report, row, defect, asLine(*string));
    return -1;
  }

  std::size_t stringCount() const override { return source_.count(); }

  StringView at(std::size_t k) const override {
    if (source_.kind() == StringSource::Kind::kNestedStrings) {
      const std::vector<std::int32_t>& string = (*source_.nested())[k];
      return StringView{string.data(), static_cast<int>(string.size())};
    }
    const std::size_t* offsets = source_.offsets();
    return StringView{source_.items() + offsets[k], static_cast<int>(offsets[k + 1] - offsets[k])};
  }

 private:
  // A defective string shown as the database line that would hold it.
  LineView asLine(const StringView& string) {
    try {
      shown_ = formats::stringLine({string.items, static_cast<std::size_t>(string.count)});
    } catch (const std::bad_alloc&) {
      shown_.clear();
    }
    return LineView{shown_.data(), shown_.size()};
  }

  const StringSource& source_;
  int pass_ = 0;
  std::size_t next_ = 0;
  formats::StringRules rules_;
  Buffer<int> seenInRow_;
  std::string shown_;
};

// Sets the run's database name and sizes from the spec file at `path`.
// Returns 0, or -1 after the reader's messages.
int takeSpecFile(RunState& run, const std::string& path) {
  formats::SpecFile spec;
  Result read = formats::readSpecFile(path.c_str(), &spec);
  if (read.isOutOfMemory()) return run.report.outOfMemory();
  if (!read.ok()) {
    run.report.line(read.message());
    return -1;
  }
  run.stringDbFilename = formats::locateDatabase(path, spec.databaseName, run.report);
  run.totalItems = static_cast<int>(spec.totalItems);
  run.maxItemLength = static_cast<int>(spec.maxItemLength);
  run.stringCount = static_cast<int>(spec.stringCount);
  return 0;
}

}  // namespace

std::unique_ptr<StringFeed> openStringFeed(const StringSource& source, RunState& run) {
  if (source.kind() == StringSource::Kind::kSpecFile) {
    if (takeSpecFile(run, source.specPath()) < 0) return nullptr;
    std::unique_ptr<StringFeed> feed(new (std::nothrow) FileFeed);
    if (feed == nullptr) run.report.outOfMemory();
    return feed;
  }
  auto* feed = new (std::nothrow) MemoryFeed(source);
  if (feed == nullptr) {
    run.report.outOfMemory();
    return nullptr;
  }
  feed->measure(run);
  return std::unique_ptr<StringFeed>(feed);
}

}  // namespace tavrel
