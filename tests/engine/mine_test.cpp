// The library's entry point: strings from a file and from memory, sinks
// that stop, limits, and runs at the same time on several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "tavrel/tavrel.h"

namespace tavrel {
namespace {

using Strings = std::vector<std::vector<std::int32_t>>;

struct Found {
  int support;
  std::vector<Edge> edges;
  bool operator==(const Found&) const = default;
};

// Keeps every pattern; stops after `limit` of them, or when `stopAt`
// patterns are in, raises `flag` instead.
class KeepingSink : public PatternSink {
 public:
  bool begin(const RunInfo& info) override {
    edges.assign(info.edges.begin(), info.edges.end());
    return true;
  }
  bool take(const Pattern& pattern) override {
    found.push_back({pattern.support, {pattern.edges.begin(), pattern.edges.end()}});
    if (flag != nullptr && found.size() == stopAt) flag->store(true);
    return found.size() < limit;
  }
  std::vector<EdgeSupport> edges;
  std::vector<Found> found;
  std::size_t limit = static_cast<std::size_t>(-1);
  std::size_t stopAt = 0;
  std::atomic<bool>* flag = nullptr;
};

std::string databaseText(const Strings& strings) {
  std::string text;
  for (const auto& string : strings) {
    text += std::to_string(string.size());
    for (int item : string) text += " " + std::to_string(item);
    text += "\n";
  }
  return text;
}

Strings randomStrings(std::mt19937& random, int count, int items) {
  Strings strings;
  for (int s = 0; s < count; ++s) {
    std::vector<std::int32_t> all(static_cast<std::size_t>(items));
    for (int k = 0; k < items; ++k) all[static_cast<std::size_t>(k)] = k;
    std::shuffle(all.begin(), all.end(), random);
    all.resize(1 + random() % static_cast<unsigned>(items));
    strings.push_back(all);
  }
  return strings;
}

std::vector<Found> mineAll(const StringSource& source, int minSup, Status* status = nullptr) {
  KeepingSink sink;
  MineOptions options;
  options.minSup = minSup;
  Status result = mine(source, options, sink);
  EXPECT_TRUE(result.ok()) << result.message();
  if (status != nullptr) *status = result;
  return sink.found;
}

TEST(MineTest, StringsInMemoryGiveThePatternsOfTheirFile) {
  std::mt19937 random(7);
  testing::ScratchDir dir;
  for (int round = 0; round < 20; ++round) {
    Strings strings = randomStrings(random, 5 + round, 6);
    std::string spec =
        dir.writeDatabase(databaseText(strings), 6, 6, static_cast<int>(strings.size()));
    std::vector<Found> fromFile = mineAll(StringSource::specFile(spec), 2);
    EXPECT_EQ(mineAll(StringSource::strings(strings, 6), 2), fromFile);
    // The same strings as flat arrays.
    std::vector<std::int32_t> items;
    std::vector<std::size_t> offsets{0};
    for (const auto& string : strings) {
      items.insert(items.end(), string.begin(), string.end());
      offsets.push_back(items.size());
    }
    EXPECT_EQ(mineAll(StringSource::strings(items.data(), offsets.data(), strings.size()), 2),
              fromFile);
  }
  // The edge table comes first, in the output's edge order.
  KeepingSink sink;
  MineOptions options;
  options.minSup = 2;
  Strings four{{1, 2, 3, 4}, {1, 3, 4}, {1, 2, 4}, {2, 4}};
  ASSERT_TRUE(mine(StringSource::strings(four), options, sink).ok());
  ASSERT_EQ(sink.edges.size(), 5u);
  EXPECT_EQ(sink.edges[0].edge, (Edge{1, 4}));
  EXPECT_EQ(sink.edges[0].support, 3);
  EXPECT_EQ(sink.edges[4].edge, (Edge{3, 4}));
}

TEST(MineTest, ARunStopsWhenTheSinkTheLimitOrTheFlagSaysSo) {
  Strings strings = {{0, 1, 2, 3}, {0, 3}, {0, 1, 2}, {1}, {0, 1, 3}, {2, 3}, {3, 2, 1, 0}};
  StringSource source = StringSource::strings(strings);
  std::vector<Found> all = mineAll(source, 1);
  ASSERT_GT(all.size(), 5u);
  std::vector<Found> firstThree(all.begin(), all.begin() + 3);

  KeepingSink stopping;
  stopping.limit = 3;
  MineOptions options;
  EXPECT_EQ(mine(source, options, stopping).code(), Status::Code::kStopped);
  EXPECT_EQ(stopping.found, firstThree);

  KeepingSink limited;
  options.maxPatterns = 3;
  EXPECT_EQ(mine(source, options, limited).code(), Status::Code::kPatternLimit);
  EXPECT_EQ(limited.found, firstThree);

  std::atomic<bool> stop{false};
  KeepingSink flagged;
  flagged.flag = &stop;
  flagged.stopAt = 3;
  options.maxPatterns = 0;
  options.stop = &stop;
  EXPECT_EQ(mine(source, options, flagged).code(), Status::Code::kStopped);
  EXPECT_EQ(flagged.found, firstThree);

  options.minSup = 0;
  EXPECT_EQ(mine(source, options, flagged).code(), Status::Code::kInvalidOptions);
  options.minSupShare = SupportShare{3, 2};  // above the whole
  EXPECT_EQ(mine(source, options, flagged).code(), Status::Code::kInvalidOptions);
  options.minSupShare = SupportShare{1, -2};
  EXPECT_EQ(mine(source, options, flagged).code(), Status::Code::kInvalidOptions);
}

TEST(MineTest, RunsAtTheSameTimeOnTwoThreadsGiveTheirOwnPatterns) {
  std::mt19937 random(11);
  Strings first = randomStrings(random, 60, 9);
  Strings second = randomStrings(random, 50, 8);
  std::vector<Found> expectedFirst = mineAll(StringSource::strings(first), 3);
  std::vector<Found> expectedSecond = mineAll(StringSource::strings(second), 2);
  ASSERT_FALSE(expectedFirst.empty());
  ASSERT_FALSE(expectedSecond.empty());
  for (int round = 0; round < 10; ++round) {
    std::vector<Found> gotFirst;
    std::vector<Found> gotSecond;
    std::thread one([&] { gotFirst = mineAll(StringSource::strings(first), 3); });
    std::thread two([&] { gotSecond = mineAll(StringSource::strings(second), 2); });
    one.join();
    two.join();
    EXPECT_EQ(gotFirst, expectedFirst);
    EXPECT_EQ(gotSecond, expectedSecond);
  }
}

TEST(MineTest, ManyThreadsOnSmallDatabasesAgreeWithOne) {
  // Many short runs with more threads than strings and patterns: the
  // hand-offs, the ordering and the end of a run, again and again.
  std::mt19937 random(13);
  for (int round = 0; round < 200; ++round) {
    Strings strings = randomStrings(random, 3 + round % 17, 4 + round % 5);
    int minSup = 1 + round % 3;
    KeepingSink one;
    KeepingSink many;
    MineOptions options;
    options.minSup = minSup;
    RunProgress oneProgress;
    options.progress = &oneProgress;
    ASSERT_TRUE(mine(StringSource::strings(strings), options, one).ok());
    options.threads = 8;
    RunProgress manyProgress;
    options.progress = &manyProgress;
    ASSERT_TRUE(mine(StringSource::strings(strings), options, many).ok());
    ASSERT_EQ(many.found, one.found) << "round " << round;
    // A complete run's progress: every pattern, the output past the last
    // top-level edge.
    for (const RunProgress* progress : {&oneProgress, &manyProgress}) {
      EXPECT_EQ(progress->patterns.load(), static_cast<std::int64_t>(one.found.size()));
      EXPECT_EQ(progress->topEdgesReached.load(), progress->topEdges.load());
    }
    EXPECT_EQ(manyProgress.topEdges.load(), oneProgress.topEdges.load());
    options.progress = nullptr;
    // Stopped part-way, the patterns before the stop are all there.
    KeepingSink stopped;
    stopped.limit = one.found.size() / 2 + 1;
    options.maxPatterns = 0;
    Status status = mine(StringSource::strings(strings), options, stopped);
    if (stopped.limit <= one.found.size()) {
      EXPECT_EQ(status.code(), Status::Code::kStopped);
      ASSERT_EQ(stopped.found,
                std::vector<Found>(one.found.begin(), one.found.begin() + stopped.limit));
    }
  }
}

// Makes its text on the run's threads: the support and edge count, or no
// text at all for an even support.
class SparseTextSink : public PatternSink {
 public:
  bool take(const Pattern& pattern) override {
    char text[32];
    texts.emplace_back(text, writeText(pattern, text));
    return texts.size() < limit;
  }
  std::size_t textBound(std::size_t) const override { return 32; }
  std::size_t writeText(const Pattern& pattern, char* out) const override {
    if (pattern.support % 2 == 0) return 0;
    std::string text = std::to_string(pattern.support) + ":" + std::to_string(pattern.edges.size());
    std::copy(text.begin(), text.end(), out);
    return text.size();
  }
  bool takeText(std::string_view text) override {
    texts.emplace_back(text);
    return texts.size() < limit;
  }
  std::vector<std::string> texts;
  std::size_t limit = static_cast<std::size_t>(-1);
};

TEST(MineTest, EmptyTextsOfASinkArriveInOrderOnManyThreads) {
  std::mt19937 random(17);
  for (int round = 0; round < 40; ++round) {
    Strings strings = randomStrings(random, 6 + round % 11, 5 + round % 4);
    SparseTextSink one;
    SparseTextSink many;
    MineOptions options;
    options.minSup = 1 + round % 2;
    ASSERT_TRUE(mine(StringSource::strings(strings), options, one).ok());
    options.threads = 8;
    ASSERT_TRUE(mine(StringSource::strings(strings), options, many).ok());
    ASSERT_EQ(many.texts, one.texts) << "round " << round;
    // A sink that stops part-way gets exactly the texts before its stop.
    SparseTextSink stopped;
    stopped.limit = one.texts.size() / 2 + 1;
    Status status = mine(StringSource::strings(strings), options, stopped);
    if (stopped.limit < one.texts.size()) {
      EXPECT_EQ(status.code(), Status::Code::kStopped);
      ASSERT_EQ(stopped.texts,
                std::vector<std::string>(one.texts.begin(), one.texts.begin() + stopped.limit));
    }
  }
}

TEST(MineTest, DefectiveInputIsAStatusWithTheMessage) {
  Status status;
  KeepingSink sink;
  status = mine(StringSource::strings(Strings{{0, 1}, {2, 2}}), MineOptions{}, sink);
  EXPECT_EQ(status.code(), Status::Code::kInvalidInput);
  EXPECT_EQ(status.message(), "row #2: error repeated item\n2 2 2\n");
  testing::ScratchDir dir;
  status = mine(StringSource::specFile(dir.path() + "/none.spec"), MineOptions{}, sink);
  EXPECT_EQ(status.code(), Status::Code::kInvalidInput);
  EXPECT_EQ(status.message(), "Error: cannot open file " + dir.path() + "/none.spec with mode r\n");
  EXPECT_TRUE(sink.found.empty());
}

}  // namespace
}  // namespace tavrel
