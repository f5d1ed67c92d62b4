// The feed of strings that every pass reads.
#include "input/string_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace tavrel {
namespace {

using testing::ScratchDir;

TEST(StringFeedTest, ReadsAtMostStringCountCheckedStringsAndKeepsThem) {
  ScratchDir dir;
  testing::PassRun pass;
  ASSERT_TRUE(pass.open(dir.writeDatabase("2 4 1\n 1 3 \n3 0 2 5\n1 1\n", 6, 3, 3), 1));
  // Each pass sees the same strings; the first reads and checks the lines.
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(pass.feed->startPass(pass.run), 0);
    std::vector<std::vector<int>> strings;
    StringView string;
    int status;
    while ((status = pass.feed->next(pass.run, &string)) > 0) {
      strings.emplace_back(string.items, string.items + string.count);
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(strings, (std::vector<std::vector<int>>{{4, 1}, {3}, {0, 2, 5}}));
  }
}

TEST(StringFeedTest, StringsInMemoryAreCheckedLikeLines) {
  const std::vector<std::vector<std::int32_t>> good{{4, 1}, {3}, {0, 2, 5}};
  RunState run;
  StringSource source = StringSource::strings(good);
  std::unique_ptr<StringFeed> feed = openStringFeed(source, run);
  ASSERT_NE(feed, nullptr);
  EXPECT_EQ(run.totalItems, 6);  // one more than the largest item
  EXPECT_EQ(run.maxItemLength, 3);
  EXPECT_EQ(run.stringCount, 3);
  for (const auto& [strings, message] :
       std::vector<std::pair<std::vector<std::vector<std::int32_t>>, std::string>>{
           {{{1, 2}, {}}, "row #2: error number of items\n0\n"},
           {{{1, 2}, {3, -1}}, "row #2: error number of items\n2 3 -1\n"},
           {{{1, 2, 1}}, "row #1: error repeated item\n3 1 2 1\n"}}) {
    RunState bad;
    StringSource badSource = StringSource::strings(strings);
    std::unique_ptr<StringFeed> badFeed = openStringFeed(badSource, bad);
    ASSERT_EQ(badFeed->startPass(bad), 0);
    StringView string;
    while (badFeed->next(bad, &string) > 0) {
    }
    EXPECT_EQ(bad.report.toStatus().message(), message);
  }
  // Items beyond a given totalItems are out of range.
  RunState narrow;
  StringSource narrowSource = StringSource::strings(good, 5);
  std::unique_ptr<StringFeed> narrowFeed = openStringFeed(narrowSource, narrow);
  ASSERT_EQ(narrowFeed->startPass(narrow), 0);
  StringView string;
  while (narrowFeed->next(narrow, &string) > 0) {
  }
  EXPECT_EQ(narrow.report.toStatus().message(), "row #3: error item out of range\n3 0 2 5\n");
}

}  // namespace
}  // namespace tavrel
