// Tavrel as a library: mine the frequent closed patterns of order relations
// from strings held in a database file or in memory, and receive each
// pattern as data.
//
//   tavrel::StringSource source = tavrel::StringSource::specFile("clicks.spec");
//   tavrel::MineOptions options;
//   options.minSup = 6;
//   MySink sink;  // a tavrel::PatternSink
//   tavrel::Status status = tavrel::mine(source, options, sink);
//   if (!status.finished()) std::cerr << status.message();
//
// A string is a sequence of distinct item numbers. An edge (a, b) says that
// item a stands before item b; a pattern is a set of edges, its support the
// number of strings that hold all of them. mine() hands over every pattern
// that at least minSup strings hold and that no further edge joins without
// losing support, in a fixed order (the order of the command line's
// output), and never writes to standard output or standard error itself.
// MineOptions may narrow that to the patterns that pass some conditions
// (maximal ones, a range of edges, items involved, the top k), which the
// search applies where it saves work; those keep the same order.
// Runs share nothing: several may run at the same time on different threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

// How a run ended, and what went wrong if it failed.
class Status {
 public:
  enum class Code {
    kOk,              // every pattern was handed over
    kPatternLimit,    // MineOptions::maxPatterns patterns were handed over; the run stopped there
    kStopped,         // the sink or the stop flag asked the run to stop
    kInvalidOptions,  // MineOptions out of range
    kInvalidInput,    // the spec file, the database or the strings are defective
    kOutOfMemory,     // memory ran out
    kSearchFailed,    // a process that shared the search (on other machines) failed
  };

  Status() = default;
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}
  // A status whose message is a string literal: made without allocating,
  // so that even a run that ran out of memory can say so.
  Status(Code code, const char* literal) : code_(code), literal_(literal) {}

  // True when the run handed over every pattern.
  bool ok() const { return code_ == Code::kOk; }
  // True when the run ended as asked: complete, or at the pattern limit.
  bool finished() const { return code_ == Code::kOk || code_ == Code::kPatternLimit; }
  Code code() const { return code_; }
  // The message exactly as the command line writes it, line ends included
  // ("Error: out of memory\n", "row #3: error repeated item\n" followed by
  // the line as it was read, ...). Empty for kOk and kPatternLimit.
  std::string_view message() const {
    return literal_ != nullptr ? std::string_view(literal_) : std::string_view(message_);
  }
  // Advice for a person beside the message, in whole lines (where the run
  // looked for a missing database file, ...); mostly empty.
  std::string_view hint() const { return hint_; }
  void setHint(std::string hint) { hint_ = std::move(hint); }

 private:
  Code code_ = Code::kOk;
  std::string message_;
  const char* literal_ = nullptr;
  std::string hint_;
};

// Where the strings of a run come from. A source only refers to its data:
// files are opened and memory is read during mine().
class StringSource {
 public:
  // The database file named in line 1 of a spec file, read exactly as the
  // command line reads it: every check, every message. A relative name is
  // taken from the working directory; when no such file is there but one
  // is beside the spec file, that one is read.
  static StringSource specFile(std::string specPath);

  // Strings in memory: string k is items[offsets[k] .. offsets[k + 1]), for
  // k < count (offsets has count + 1 entries). Item numbers must lie in
  // 0 .. totalItems - 1; totalItems 0 takes one more than the largest item.
  // The arrays must stay valid until mine() returns. Defective strings get
  // the command line's messages, the string shown as a database line.
  static StringSource strings(const std::int32_t* items, const std::size_t* offsets,
                              std::size_t count, int totalItems = 0);

  // Strings in memory as a list of sequences; the list must stay valid
  // until mine() returns.
  static StringSource strings(const std::vector<std::vector<std::int32_t>>& strings,
                              int totalItems = 0);

  enum class Kind { kSpecFile, kFlatStrings, kNestedStrings };
  Kind kind() const { return kind_; }
  const std::string& specPath() const { return specPath_; }
  const std::int32_t* items() const { return items_; }
  const std::size_t* offsets() const { return offsets_; }
  const std::vector<std::vector<std::int32_t>>* nested() const { return nested_; }
  std::size_t count() const { return count_; }
  int totalItems() const { return totalItems_; }

 private:
  Kind kind_ = Kind::kSpecFile;
  std::string specPath_;
  const std::int32_t* items_ = nullptr;
  const std::size_t* offsets_ = nullptr;
  const std::vector<std::vector<std::int32_t>>* nested_ = nullptr;
  std::size_t count_ = 0;
  int totalItems_ = 0;
};

// A share of the strings: numerator / denominator, above 0 and at most 1.
struct SupportShare {
  std::int64_t numerator = 0;  // 0: no share given
  std::int64_t denominator = 1;
};

// How far a run has come, for a progress display: the run updates it, any
// thread may read it at any time.
struct RunProgress {
  std::atomic<std::int64_t> patterns{0};  // patterns handed to the sink
  std::atomic<int> topEdges{0};           // edges the search starts from, once it starts
  // Of those, the one (counted from 1) whose subtree's patterns are being
  // handed over: how far through the search the output is.
  std::atomic<int> topEdgesReached{0};
};

// The most items that MineOptions::items may name.
inline constexpr std::size_t kMostConditionItems = 64;

struct MineOptions {
  int minSup = 1;  // the least support of a pattern, at least 1
  // When given, the least support is this share of the strings rounded up
  // to a whole count (at least 1), and minSup is not used. RunInfo::minSup
  // says what it came to.
  SupportShare minSupShare;
  int threads = 1;               // threads that search (0: every core the process may use)
  std::int64_t maxPatterns = 0;  // stop after this many patterns (0: no limit)
  // Conditions on the patterns handed over; by default every closed
  // pattern is. The patterns that pass keep the order of a full run, and
  // the search skips what cannot pass. They combine: `top` is taken among
  // the patterns that pass the others.
  bool maximal = false;  // only patterns that no other frequent pattern strictly contains
  int minEdges = 0;      // only patterns of at least this many edges (0: no bound)
  int maxEdges = 0;      // only patterns of at most this many edges (0: no bound)
  // Only patterns whose edges involve every one of these items (at most
  // kMostConditionItems of them; empty: no condition).
  std::vector<int> items;
  // Only the `top` patterns of highest support (0: all); of equal supports,
  // the earlier in the run's order. Memory for them is bounded by `top`.
  std::int64_t top = 0;
  // Polled while the run works: when it becomes true the run stops soon
  // (within milliseconds) with Status::Code::kStopped. May be set from a
  // signal handler or another thread.
  const std::atomic<bool>* stop = nullptr;
  RunProgress* progress = nullptr;  // updated while the run works, when given
};

// An edge: item `before` stands before item `after`.
struct Edge {
  int before = 0;
  int after = 0;
  bool operator==(const Edge&) const = default;
};

// One edge of the run with the number of strings that hold it.
struct EdgeSupport {
  Edge edge;
  int support = 0;
};

// What a sink learns before the first pattern, once the strings are read.
struct RunInfo {
  int stringCount = 0;  // the support of the empty pattern
  // The strings read, which a share of min_sup is taken of: fewer than
  // stringCount when the database ends before the count its spec file gives.
  int stringsRead = 0;
  int minSup = 0;             // the least support of a pattern in this run
  int frequentItemCount = 0;  // items that at least minSup strings hold
  // Every edge that may stand in a pattern, in the output's edge order:
  // descending support, ties by ascending (before, after).
  std::span<const EdgeSupport> edges;
};

// One closed pattern as the sink receives it. The data is valid only
// during the call.
struct Pattern {
  int support = 0;
  std::span<const Edge> edges;  // in the output's edge order (see RunInfo::edges)
};

// Receives the patterns of a run, one call at a time and in order (even
// when the run searches on several threads). Such a run may make its calls
// from any of its threads, one after another, each call finished before
// the next begins: a sink needs no lock of its own, but must not rely on
// the thread it is called on.
class PatternSink {
 public:
  virtual ~PatternSink() = default;
  // Called once, before any pattern, after the strings have been read and
  // checked. Returning false stops the run (Status::Code::kStopped).
  virtual bool begin(const RunInfo& info) {
    (void)info;
    return true;
  }
  // Takes one pattern. Returning false stops the run: it frees everything
  // and returns Status::Code::kStopped.
  virtual bool take(const Pattern& pattern) = 0;

  // A sink that turns patterns into text may have most of that work done
  // on the run's threads. When textBound() is above 0, a run that searches
  // on several threads calls writeText() for each pattern, from any of its
  // threads and possibly several at once, into room for textBound() bytes,
  // and then, one call at a time and in order, takeText() with those bytes
  // instead of take(). writeText() must depend on the pattern alone.
  virtual std::size_t textBound(std::size_t edgeCount) const {
    (void)edgeCount;
    return 0;
  }
  virtual std::size_t writeText(const Pattern& pattern, char* out) const {
    (void)pattern;
    (void)out;
    return 0;
  }
  virtual bool takeText(std::string_view text) {
    (void)text;
    return true;
  }
};

// Reads the strings, finds the frequent closed patterns and hands them to
// `sink`. Returns how the run ended; on failure the message says why.
Status mine(const StringSource& source, const MineOptions& options, PatternSink& sink);

}  // namespace tavrel
